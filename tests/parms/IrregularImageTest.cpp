// Images that are well formed but not shaped exactly as the steps expect: a trailer that happens
// to start with the block marker, and tables whose record size is not the one the step converts
// from. A conversion must keep such an image well formed and lose none of its words.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parms/CodeplugConverter.h"
#include "parms/CodeplugFormat.h"
#include "tests/parms/TestImage.h"

namespace quillon {
namespace {

using test::BuildImage;
using test::MinimalBlocks;
using test::SystemAt;
using test::TestBlock;
using F = CodeplugFormat;

constexpr uint16_t k58 = 0x0508;
constexpr uint16_t k59 = 0x0509;
constexpr uint16_t k510 = 0x050A;

std::vector<uint16_t> Pattern(uint32_t words, uint16_t base) {
    std::vector<uint16_t> out(words);
    for (uint32_t k = 0; k < words; ++k) {
        out[k] = static_cast<uint16_t>(base + k);
    }
    return out;
}

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

TEST(IrregularTrailer, IsNeverTakenForABlock) {
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

TEST(IrregularTrailer, IsNotVisitedByTheFiveElevenLookups) {
    auto built = BuildImage(0x050B, MinimalBlocks(0x050B, {0}, 1));
    DisguiseTrailerAsKindBlock(built, true);
    EXPECT_EQ(F::FindKindBlock(*built, 4), 0);
    EXPECT_TRUE(CodeplugFormat().CheckStructure(*built));
}

// Each record of a table keeps its own words first, whatever size it had, and gets zero words
// up to the new size; the tables after it keep their words.
void ExpectGrown(const CodeplugImage& image, uint16_t block, unsigned table, uint16_t count,
                 uint16_t oldSize, uint16_t newSize, uint16_t base) {
    const TableSpan span = F::TableStart(image, block, table);
    ASSERT_EQ(span.count, count);
    ASSERT_EQ(span.size, newSize);
    for (uint32_t r = 0; r < count; ++r) {
        for (uint32_t w = 0; w < newSize; ++w) {
            const uint16_t expected =
                w < oldSize ? static_cast<uint16_t>(base + r * oldSize + w) : 0;
            EXPECT_EQ(image[span.start + r * newSize + w], expected)
                << "record " << r << " word " << w;
        }
    }
}

void ExpectTable(const CodeplugImage& image, uint16_t block, unsigned table,
                 const std::vector<uint16_t>& words) {
    const TableSpan span = F::TableStart(image, block, table);
    ASSERT_EQ(span.Words(), words.size());
    for (uint32_t k = 0; k < words.size(); ++k) {
        EXPECT_EQ(image[span.start + k], words[k]) << "word " << k;
    }
}

TEST(IrregularRecordSizes, SystemTableOfAnotherSizeGrowsFromItsOwnSize) {
    auto blocks = MinimalBlocks(k59, {0}, 1);
    TestBlock& s = blocks[SystemAt(blocks, 1)];
    s.tables[3] = {2, 30, Pattern(60, 0x1000)};
    s.tables[4] = {1, 3, {0xA1, 0xA2, 0xA3}};
    auto built = BuildImage(k59, blocks);
    EXPECT_EQ(test::ConvertChecked(*built, kFormat59, kFormat510), 20 + 2 * 28);
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    ExpectGrown(*built, sys, 3, 2, 30, 58, 0x1000);
    ExpectTable(*built, sys, 4, {0xA1, 0xA2, 0xA3});
}

TEST(IrregularRecordSizes, LargerTableIsLeftAsItIs) {
    auto blocks = MinimalBlocks(k59, {5}, 1);
    TestBlock& s = blocks[SystemAt(blocks, 1)];
    s.tables[2] = {1, 60, Pattern(60, 0x2000)};
    s.tables[4] = {1, 2, {0xB1, 0xB2}};
    auto built = BuildImage(k59, blocks);
    EXPECT_EQ(test::ConvertChecked(*built, kFormat59, kFormat510), 20);
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    ExpectTable(*built, sys, 2, Pattern(60, 0x2000));
    ExpectTable(*built, sys, 4, {0xB1, 0xB2});
}

TEST(IrregularRecordSizes, SizeGivenToATableOfSizeZeroGivesItsRecordsWords) {
    auto blocks = MinimalBlocks(k58, {0}, 1);
    TestBlock& s = blocks[SystemAt(blocks, 1)];
    s.tables[2] = {0, 2, {}};
    s.tables[6] = {3, 0, {}};
    s.tables[7] = {1, 9, Pattern(9, 0x3000)};
    auto built = BuildImage(k58, blocks);
    EXPECT_EQ(test::ConvertChecked(*built, kFormat58, kFormat59), 16 + 27);
    CodeplugConverter::RelayoutDescriptorCounts(*built);  // to read the tables
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    ExpectGrown(*built, sys, 6, 3, 0, 9, 0);
    ExpectTable(*built, sys, 7, Pattern(9, 0x3000));
}

TEST(IrregularRecordSizes, Kind5RecordsShorterThanTenWordsGrowToEleven) {
    auto blocks = MinimalBlocks(k58, {5}, 1);
    TestBlock& s = blocks[SystemAt(blocks, 1)];
    s.tables[0] = {2, 8, Pattern(16, 0x4000)};
    s.tables[3] = {1, 1, {0xC1}};
    auto built = BuildImage(k58, blocks);
    EXPECT_EQ(test::ConvertChecked(*built, kFormat58, kFormat59), 16 + 6);
    CodeplugConverter::RelayoutDescriptorCounts(*built);
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    ExpectGrown(*built, sys, 0, 2, 8, 11, 0x4000);
    ExpectTable(*built, sys, 3, {0xC1});
}

TEST(IrregularRecordSizes, GroupTableOfAnotherSizeKeepsItsWords) {
    auto blocks = MinimalBlocks(k59, {0}, 1);
    TestBlock& g = blocks.back();
    g.tables[2] = {1, 12, Pattern(12, 0x5000)};
    g.tables[3] = {1, 13, Pattern(13, 0x6000)};
    auto built = BuildImage(k59, blocks);
    EXPECT_EQ(test::ConvertChecked(*built, kFormat59, kFormat510), 20 + 1);
    const uint16_t group = F::FindGroupBlock(*built, 1);
    ExpectGrown(*built, group, 2, 1, 12, 13, 0x5000);
    ExpectTable(*built, group, 3, Pattern(13, 0x6000));
}

TEST(IrregularRecordSizes, GroupRecordsOfAnotherSizeAreRebuiltFromTheirOwnSize) {
    auto blocks = MinimalBlocks(k510, {0}, 1);
    TestBlock& g = blocks.back();
    g.tables[1] = {2, 16, Pattern(32, 0x7000)};  // one word longer than 5.10 records
    g.tables[4] = {1, 16, Pattern(16, 0x7100)};  // longer than the records of 5.11
    auto built = BuildImage(k510, blocks);
    test::ConvertChecked(*built, kFormat510, kFormat511);
    const uint16_t group = F::FindGroupBlock(*built, 1);
    const TableSpan t1 = F::TableStart(*built, group, 1);
    ASSERT_EQ(t1.count, 2);
    ASSERT_EQ(t1.size, 17);
    for (uint32_t r = 0; r < 2; ++r) {
        const uint32_t rec = t1.start + r * 17;
        const auto old = [&](uint32_t w) { return static_cast<uint16_t>(0x7000 + r * 16 + w); };
        for (uint32_t w = 0; w < 6; ++w) {
            EXPECT_EQ((*built)[rec + w], old(w)) << r << ":" << w;
        }
        for (uint32_t w = 6; w < 9; ++w) {
            EXPECT_EQ((*built)[rec + w], 0x2020) << r << ":" << w;
        }
        EXPECT_EQ((*built)[rec + 10], old(7)) << r;
        EXPECT_EQ((*built)[rec + 15], old(12) & 0xFFFC) << r;
        EXPECT_EQ((*built)[rec + 16], 0) << r;
    }
    ExpectTable(*built, group, 4, Pattern(16, 0x7100));
}

}  // namespace
}  // namespace quillon
