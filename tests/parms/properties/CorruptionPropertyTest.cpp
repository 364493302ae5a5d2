// Damaged images: random words of a generated image are overwritten; whatever the damage, the
// structure check, the chain and the 5.11 verification end, stay inside the buffer and never
// pass on an image that has outgrown it.

#include <gtest/gtest.h>

#include <string>

#include "parms/CodeplugFormat.h"
#include "tests/parms/properties/PropertySupport.h"
#include "tests/parms/support/CodeplugGenerator.h"

namespace quillon {
namespace {

// Overwrites a few words: head words of blocks, header counts and lengths, descriptors and
// plain data, with bit flips, small values and random words.
void Damage(CodeplugImage& image, uint16_t total, testkit::CodeplugGenerator& random) {
    const uint32_t flips = 1 + random.Below(6);
    for (uint32_t i = 0; i < flips; ++i) {
        uint32_t at = random.Below(total);
        if (random.Chance(30)) {
            static constexpr uint32_t kHeaderWords[] = {1, 2, 3, 4, 14, 14, 49, 92};
            at = kHeaderWords[random.Below(8)];
        }
        switch (random.Below(4)) {
            case 0:
                image[at] ^= static_cast<uint16_t>(1u << random.Below(16));
                break;
            case 1:
                image[at] = static_cast<uint16_t>(random.Below(64));
                break;
            case 2:
                image[at] = 0xFFFF;
                break;
            default:
                image[at] = random.Word();
                break;
        }
    }
}

TEST(CorruptedImages, AreRefusedOrConvertedInsideTheBuffer) {
    uint32_t passedCheck = 0;
    uint32_t converted = 0;
    for (uint32_t seed = 0; seed < 1500 && !HasFailure(); ++seed) {
        const auto from = static_cast<uint8_t>(kFormat58 + seed % 3);
        SCOPED_TRACE("seed " + std::to_string(seed));
        const testkit::GeneratedImage generated = Generate(seed, from);
        auto image = ToImage(generated);
        testkit::CodeplugGenerator random(seed ^ 0x5A5A5A5Au);
        Damage(*image, generated.totalLength, random);

        CodeplugFormat format;
        if (!format.CheckStructure(*image)) {
            continue;
        }
        ++passedCheck;
        const uint8_t index = CodeplugFormat::FormatIndex(*image);
        if (index < kFormat58 || index > kFormat511) {
            continue;
        }
        const uint16_t totalBefore = CodeplugFormat::TotalLength(*image);
        if (!format.ConvertChain(*image, index, kFormat511)) {
            continue;  // outgrew the buffer: refused, nothing is written back or verified
        }
        ++converted;
        EXPECT_LE(CodeplugFormat::TotalLength(*image), kCodeplugWords);
        EXPECT_EQ(int32_t{CodeplugFormat::TotalLength(*image)},
                  int32_t{totalBefore} + format.LengthChange());
        format.Verify511(*image, random.Chance(50));
        EXPECT_LE(CodeplugFormat::TotalLength(*image), kCodeplugWords);
    }
    // Most damage goes unnoticed by the check (it lands in record data), so the chain really
    // runs on damaged images.
    EXPECT_GT(passedCheck, 300u);
    EXPECT_GT(converted, 300u);
}

}  // namespace
}  // namespace quillon
