#include "parms/Verifier511.h"

#include <gtest/gtest.h>

#include "parms/CodeplugFormat.h"
#include "tests/parms/TestImage.h"

namespace quillon {
namespace {

using test::BuildImage;
using test::MinimalBlocks;
using test::SystemAt;
using test::TestBlock;
using F = CodeplugFormat;

constexpr uint16_t k511 = 0x050B;

TEST(Verifier511, HardKeyEntryIsAdded) {
    auto built = BuildImage(k511, MinimalBlocks(k511, {0}, 1));
    const uint16_t header = F::BlockLength(*built, uint16_t{0});
    const uint16_t total = F::TotalLength(*built);
    CodeplugFormat format;
    EXPECT_TRUE(format.Verify511(*built, true));
    EXPECT_EQ((*built)[92], 0x0101);
    EXPECT_EQ((*built)[header], 0x8000);
    EXPECT_EQ((*built)[header + 1], kBlockMarker);
    EXPECT_EQ(F::TotalLength(*built), total + 1);
    EXPECT_EQ(format.LengthChange(), 0);  // only the image's own length words change
    EXPECT_TRUE(format.CheckStructure(*built));
    // A second run finds the entry in place.
    EXPECT_TRUE(format.Verify511(*built, true));
    EXPECT_EQ(F::TotalLength(*built), total + 1);
}

TEST(Verifier511, HardKeyEntriesAreRemovedWithoutAHardKey) {
    auto blocks = MinimalBlocks(k511, {0}, 1);
    blocks[0].tables[6] = {1, 1, {0x6666}};
    blocks[0].tables[7] = {3, 1, {0x8000, 0x8001, 0x8002}};
    auto built = BuildImage(k511, blocks);
    ASSERT_EQ((*built)[92], 0x0301);
    const uint16_t header = F::BlockLength(*built, uint16_t{0});
    const uint16_t total = F::TotalLength(*built);
    EXPECT_TRUE(CodeplugFormat().Verify511(*built, false));
    EXPECT_EQ((*built)[92], 0x0001);
    EXPECT_EQ(F::BlockLength(*built, uint16_t{0}), header - 3);
    EXPECT_EQ(F::TotalLength(*built), total - 3);
    EXPECT_EQ((*built)[header - 4], 0x6666);
    EXPECT_EQ((*built)[header - 3], kBlockMarker);
    EXPECT_TRUE(CodeplugFormat().CheckStructure(*built));
}

TEST(Verifier511, NoRoomForTheEntryLeavesTheImageAlone) {
    auto blocks = MinimalBlocks(k511, {0}, 1);
    auto probe = BuildImage(k511, blocks);
    blocks.back().extraWords = static_cast<uint16_t>(32767 - F::TotalLength(*probe));
    auto built = BuildImage(k511, blocks);
    ASSERT_EQ(F::TotalLength(*built), 32767);
    const CodeplugImage before = *built;
    EXPECT_FALSE(CodeplugFormat().Verify511(*built, true));
    EXPECT_EQ(*built, before);
}

TEST(Verifier511, RefusesImagesItCannotRead) {
    auto built = BuildImage(k511, MinimalBlocks(k511, {0}, 1));
    const uint32_t last = built.starts.back();
    const struct {
        const char* what;
        uint32_t word;
        uint16_t value;
    } damage[] = {{"table 10 holds a record", 95, 0x0100},
                  {"no header marker", 0, 0},
                  {"no systems", 14, 0x0100},
                  {"the walk meets no marker", last, 0},
                  {"a block of length 0 ends the walk", last + 1, 0}};
    for (const auto& d : damage) {
        CodeplugImage img = *built;
        img[d.word] = d.value;
        EXPECT_FALSE(CodeplugFormat().Verify511(img, false)) << d.what;
    }
}

TEST(Verifier511, HeaderDefaults) {
    auto blocks = MinimalBlocks(k511, {0}, 1);
    blocks[0].fields[65] = 0x0031;  // bits 0-1 = 1, bits 4-5 = 3
    auto built = BuildImage(k511, blocks);
    EXPECT_TRUE(CodeplugFormat().Verify511(*built, false));
    EXPECT_EQ((*built)[55], (4 << 13) | (4 << 10) | (4 << 7) | (4 << 4) | (4 << 1));
    EXPECT_EQ((*built)[65], 0x0075);

    blocks[0].fields[55] = 0x2000;
    auto set = BuildImage(k511, blocks);
    EXPECT_TRUE(CodeplugFormat().Verify511(*set, false));
    EXPECT_EQ((*set)[55], 0x2000);
}

TEST(Verifier511, Kind0SystemDefaults) {
    auto blocks = MinimalBlocks(k511, {0, 0, 0}, 1);
    TestBlock& a = blocks[SystemAt(blocks, 1)];
    a.fields[8] = 0x0035;
    a.fields[84] = 0x1000;  // m = 16: v becomes 5
    TestBlock& b = blocks[SystemAt(blocks, 2)];
    b.fields[8] = 0x0035;
    b.fields[84] = 0x0300;  // m = 3: v becomes 0
    b.fields[26] = 0x0001;  // one of the six fields set: none defaulted
    b.fields[52] = 0x0005;
    auto built = BuildImage(k511, blocks);
    EXPECT_TRUE(CodeplugFormat().Verify511(*built, false));
    const uint16_t s1 = F::FindSystemBlock(*built, 1);
    EXPECT_EQ((*built)[s1 + 8U], 0x0005);
    EXPECT_EQ((*built)[s1 + 27U], 14 | (20 << 7));
    EXPECT_EQ((*built)[s1 + 15U], (15 << 5) | (1 << 10));
    EXPECT_EQ((*built)[s1 + 26U], (40 << 8) | 255);
    EXPECT_EQ((*built)[s1 + 52U], 60);
    EXPECT_EQ((*built)[s1 + 50U], 25 << 7);
    const uint16_t s2 = F::FindSystemBlock(*built, 2);
    EXPECT_EQ((*built)[s2 + 8U], 0);
    EXPECT_EQ((*built)[s2 + 26U], 0x0001);
    EXPECT_EQ((*built)[s2 + 27U], 0);
    EXPECT_EQ((*built)[s2 + 52U], 5);
    const uint16_t s3 = F::FindSystemBlock(*built, 3);
    EXPECT_EQ((*built)[s3 + 8U], 0);  // v = 0 is never above m
}

TEST(Verifier511, Kind4SystemDefaults) {
    auto built = BuildImage(k511, MinimalBlocks(k511, {4}, 1));
    EXPECT_TRUE(CodeplugFormat().Verify511(*built, false));
    const uint16_t s = F::FindSystemBlock(*built, 1);
    EXPECT_EQ((*built)[s + 262U], (14 << 9) | (255 << 1));
    EXPECT_EQ((*built)[s + 261U], (15 << 5) | (1 << 10) | (20 << 1));
    EXPECT_EQ((*built)[s + 263U], 40);
    EXPECT_EQ((*built)[s + 29U], 29 << 8);
    EXPECT_EQ((*built)[s + 313U] & 0xFF, 2);
}

TEST(Verifier511, Kind3TableElevenKeepsSixteenRecordsAndTheWalkGoesOn) {
    auto blocks = MinimalBlocks(k511, {3, 0}, 2);
    std::vector<uint16_t> records(18 * 64);
    for (uint32_t k = 0; k < records.size(); ++k) {
        records[k] = static_cast<uint16_t>(k);
    }
    TestBlock& k3 = blocks[SystemAt(blocks, 1)];
    k3.tables[11] = {18, 64, records};
    k3.tables[12] = {1, 2, {0xABCD, 0xEF01}};
    auto built = BuildImage(k511, blocks);
    const uint16_t total = F::TotalLength(*built);
    // After the trimmed system the walk still repairs later blocks, and stops before the
    // trailer instead of reading it as blocks.
    EXPECT_TRUE(CodeplugFormat().Verify511(*built, false));
    EXPECT_EQ(F::TotalLength(*built), total - 128);
    const uint16_t s = F::FindSystemBlock(*built, 1);
    const TableSpan t11 = F::TableStart(*built, s, 11);
    EXPECT_EQ(t11.count, 16);
    EXPECT_EQ((*built)[t11.start + 16 * 64 - 1], 16 * 64 - 1);
    EXPECT_EQ((*built)[t11.start + 16 * 64], 0xABCD);
    EXPECT_EQ((*built)[F::FindSystemBlock(*built, 2) + 52U], 60);
    EXPECT_EQ((*built)[F::TotalLength(*built) - kTrailerWords], test::TrailerWord(0));
    EXPECT_TRUE(CodeplugFormat().CheckStructure(*built));
}

TEST(Verifier511, GroupScanSettingsByTypeCode) {
    for (uint16_t typeCode : {1, 5, 6, 4}) {
        auto blocks = MinimalBlocks(k511, {0}, 1);
        blocks[0].fields[5] = typeCode;
        std::vector<uint16_t> t0(2 * 21, 0);
        t0[9] = 0x0020;       // bits 5-6 = 1
        t0[21 + 9] = 0x0060;  // bits 5-6 = 3
        std::vector<uint16_t> t1(17, 0);
        t1[9] = 0x00A0;  // bits 5-6 = 1, bit 7 set
        blocks.back().tables[0] = {2, 21, t0};
        blocks.back().tables[1] = {1, 17, t1};
        auto built = BuildImage(k511, blocks);
        EXPECT_TRUE(CodeplugFormat().Verify511(*built, false));
        const uint16_t g = F::FindGroupBlock(*built, 1);
        const bool applies = typeCode != 4;
        EXPECT_EQ((*built)[F::TableStart(*built, g, 0).start + 9], applies ? 0x0040 : 0x0020);
        EXPECT_EQ((*built)[F::TableStart(*built, g, 0).start + 30], 0x0060);
        EXPECT_EQ((*built)[F::TableStart(*built, g, 1).start + 9], applies ? 0x00C0 : 0x00A0);
    }
}

}  // namespace
}  // namespace quillon
