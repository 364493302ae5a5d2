// Images that are well formed but not shaped exactly as the steps expect: a trailer that happens
// to start with the block marker, and tables whose record size is not the one the step converts
// from. A conversion must keep such an image well formed and lose none of its words.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parms/KVTParmsFormat.h"
#include "tests/parms/TestImage.h"

namespace quillon {
namespace {

using test::BuildImage;
using test::MinimalBlocks;
using F = KVTParmsFormat;

constexpr uint16_t k58 = 0x0508;
constexpr uint16_t k59 = 0x0509;
constexpr uint16_t k510 = 0x050A;

// The trailer's first words read like a kind-4 system-kind block that the image does not have.
void DisguiseTrailerAsKindBlock(test::BuiltImage& built, bool is511) {
    const uint32_t t = built.blocksEnd;
    (*built)[t] = kBlockMarker;
    (*built)[t + 1] = is511 ? 64 : static_cast<uint16_t>((kKindBlock << 14) | 64);
    (*built)[t + 2] = is511 ? static_cast<uint16_t>(kKindBlock << 9) : 0;
    (*built)[t + 3] = 0x4000;
}

std::vector<uint16_t> Trailer(const CodeplugImage& image) {
    const uint32_t end = F::TotalLength(image);
    return {image.begin() + (end - kTrailerWords), image.begin() + end};
}

TEST(AuditTrailer, IsNeverTakenForABlock) {
    for (const auto& [version, from] :
         {std::pair{k58, kFormat58}, std::pair{k59, kFormat59}, std::pair{k510, kFormat510}}) {
        SCOPED_TRACE("from index " + std::to_string(from));
        auto built = BuildImage(version, MinimalBlocks(version, {0, 1}, 1));
        DisguiseTrailerAsKindBlock(built, false);
        EXPECT_EQ(F::FindKindBlock(*built, 4), 0);
        const std::vector<uint16_t> trailer = Trailer(*built);
        test::ConvertChecked(*built, from, kFormat511);
        EXPECT_EQ(Trailer(*built), trailer);
    }
    // A chain that stays below 5.10 rewrites word +2 of the blocks only.
    auto built = BuildImage(k58, MinimalBlocks(k58, {5}, 1));
    DisguiseTrailerAsKindBlock(built, false);
    (*built)[built.blocksEnd + 2] = 0x3831;
    const std::vector<uint16_t> trailer = Trailer(*built);
    test::ConvertChecked(*built, kFormat58, kFormat59);
    EXPECT_EQ(Trailer(*built), trailer);
}

TEST(AuditTrailer, IsNotVisitedByTheFiveElevenLookups) {
    auto built = BuildImage(0x050B, MinimalBlocks(0x050B, {0}, 1));
    DisguiseTrailerAsKindBlock(built, true);
    EXPECT_EQ(F::FindKindBlock(*built, 4), 0);
    EXPECT_TRUE(KVTParmsFormat().CheckStructure(*built));
}

}  // namespace
}  // namespace quillon
