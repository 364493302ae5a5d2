#include "parms/Converter510To511.h"

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

constexpr uint16_t k510 = 0x050A;

int32_t To511(CodeplugImage& image) {
    return test::ConvertChecked(image, kFormat510, kFormat511);
}

// A 5.10 header as the radio holds it: 16 records of 5 words in table 4.
std::vector<TestBlock> Blocks(const std::vector<uint8_t>& kinds, unsigned groups = 1) {
    auto blocks = MinimalBlocks(k510, kinds, groups);
    blocks[0].tables[4] = {16, 5, {}};
    return blocks;
}

TEST(Converter510To511Header, NameGainsBlanksAndFixedPartGrows) {
    auto blocks = Blocks({0});
    TestBlock& h = blocks[0];
    h.fields[39] = 0x4146;  // "FAVORITES "
    h.fields[40] = 0x4F56;
    h.fields[41] = 0x4952;
    h.fields[42] = 0x4554;
    h.fields[43] = 0x2053;
    for (uint16_t w = 44; w <= 68; ++w) {
        h.fields[w] = static_cast<uint16_t>(0x1000 + w);
    }
    h.fields[16] = 0x000E;  // bit 1 and bits 2-3 = 3
    h.fields[17] = 0xFFA5;
    h.fields[53] = 0xF000;
    auto built = BuildImage(k510, blocks);
    const uint16_t length = F::BlockLength(*built, uint16_t{0});
    EXPECT_EQ(To511(*built), 16 + 48);
    EXPECT_EQ(test::TextAt(*built, 39), "FAVORITES ");
    for (uint32_t w = 44; w <= 46; ++w) {
        EXPECT_EQ((*built)[w], 0x2020) << w;
    }
    EXPECT_EQ((*built)[47], 0x1000 + 44);  // words 44.. moved up by three
    EXPECT_EQ((*built)[56], 0);            // former word 53, bits 12-15 cleared
    // Word 58 gathers header words 16, 17 and 53.
    EXPECT_EQ((*built)[58] & 0x0070, 0x7 << 4);
    EXPECT_EQ((*built)[58] & 0x000E, 0x7 << 1);
    EXPECT_EQ((*built)[58] >> 7, 0x1A5);
    EXPECT_EQ((*built)[16], 0);
    EXPECT_EQ((*built)[17], 0xFF00);
    for (uint32_t w = 66; w <= 84; ++w) {
        EXPECT_EQ((*built)[w], 0) << w;
    }
    EXPECT_EQ(F::GetDescriptorList(*built, uint16_t{0}).offset, 85);
    EXPECT_EQ(F::BlockLength(*built, uint16_t{0}), length + 64);
}

TEST(Converter510To511Header, TableFourRecordsEndInBlanks) {
    auto blocks = Blocks({0});
    std::vector<uint16_t> records(80);
    for (uint32_t k = 0; k < records.size(); ++k) {
        records[k] = static_cast<uint16_t>(k + 1);
    }
    blocks[0].tables[4] = {16, 5, records};
    blocks[0].tables[6] = {1, 1, {0x6666}};
    auto built = BuildImage(k510, blocks);
    To511(*built);
    const TableSpan t4 = F::TableStart(*built, uint16_t{0}, 4);
    ASSERT_EQ(t4.count, 16);
    ASSERT_EQ(t4.size, 8);
    for (uint32_t r = 0; r < 16; ++r) {
        for (uint32_t w = 0; w < 5; ++w) {
            EXPECT_EQ((*built)[t4.start + r * 8 + w], r * 5 + w + 1);
        }
        for (uint32_t w = 5; w < 8; ++w) {
            EXPECT_EQ((*built)[t4.start + r * 8 + w], 0x2020);
        }
    }
    EXPECT_EQ((*built)[F::TableStart(*built, uint16_t{0}, 6).start], 0x6666);
}

TEST(Converter510To511Header, TableFourOfAnotherShapeBecomes16Records) {
    auto blocks = Blocks({0});
    blocks[0].tables[4] = {4, 5, {}};
    auto built = BuildImage(k510, blocks);
    EXPECT_EQ(To511(*built), 16 + 4 * 3 + 12 * 8);
    EXPECT_EQ(F::GetTable(*built, uint16_t{0}, 4).count, 16);

    auto other = Blocks({0});
    other[0].tables[4] = {3, 6, {}};
    auto built2 = BuildImage(k510, other);
    EXPECT_EQ(To511(*built2), 16 - 18 + 16 * 8);
}

TEST(Converter510To511Header, ListFromTheFirstKind4System) {
    auto blocks = Blocks({4, 4});
    blocks[SystemAt(blocks, 1)].tables[16] = {3, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}};
    blocks[SystemAt(blocks, 2)].tables[16] = {2, 4, {}};
    blocks[SystemAt(blocks, 2)].tables[17] = {1, 1, {0x7171}};
    auto built = BuildImage(k510, blocks);
    // 16 + 48 in the header, 12 moved within the image, 8 of the second system dropped.
    EXPECT_EQ(To511(*built), 16 + 48 - 8);
    const TableSpan list = F::TableStart(*built, uint16_t{0}, 5);
    ASSERT_EQ(list.count, 3);
    ASSERT_EQ(list.size, 4);
    for (uint32_t k = 0; k < 12; ++k) {
        EXPECT_EQ((*built)[list.start + k], k + 1);
    }
    for (uint16_t id : {1, 2}) {
        const uint16_t sys = F::FindSystemBlock(*built, id);
        EXPECT_EQ(F::GetTable(*built, sys, 16).count, 0);
        EXPECT_EQ(F::GetTable(*built, sys, 16).size, 0);
        EXPECT_EQ((*built)[sys + 250U] & 0x4000, 0x4000);
    }
    const uint16_t second = F::FindSystemBlock(*built, 2);
    EXPECT_EQ((*built)[F::TableStart(*built, second, 17).start], 0x7171);
}

TEST(Converter510To511Header, ListLargerThanSixtyFourWordsMovesWhole) {
    auto blocks = Blocks({4});
    std::vector<uint16_t> records(30 * 5);
    for (uint32_t k = 0; k < records.size(); ++k) {
        records[k] = static_cast<uint16_t>(0x500 + k);
    }
    blocks[SystemAt(blocks, 1)].tables[16] = {30, 5, records};
    auto built = BuildImage(k510, blocks);
    EXPECT_EQ(To511(*built), 16 + 48);
    const TableSpan list = F::TableStart(*built, uint16_t{0}, 5);
    ASSERT_EQ(list.count, 30);
    for (uint32_t k = 0; k < records.size(); ++k) {
        ASSERT_EQ((*built)[list.start + k], records[k]) << k;
    }
}

TEST(Converter510To511Header, NoKind4SystemLeavesAnEmptyList) {
    auto blocks = Blocks({0});
    blocks[0].tables[5] = {2, 3, {1, 2, 3, 4, 5, 6}};  // 5.10 leaves this empty
    auto built = BuildImage(k510, blocks);
    EXPECT_EQ(To511(*built), 16 + 48 - 6);
    EXPECT_EQ(F::GetTable(*built, uint16_t{0}, 5).count, 0);
    EXPECT_EQ(F::GetTable(*built, uint16_t{0}, 5).size, 4);
}

TEST(Converter510To511Systems, OnlyTheFirstKind0SystemGivesItsValues) {
    auto blocks = Blocks({1, 0, 0});
    TestBlock& kind0 = blocks[2];
    ASSERT_EQ(kind0.type, kKindBlock);
    ASSERT_EQ(kind0.ident, 0);
    kind0.fields[25] = 0x2525;
    kind0.fields[26] = 0x2626;
    kind0.fields[40] = 0x40AB;
    kind0.fields[13] = 0xFFFF;
    for (uint8_t id : {2, 3}) {
        TestBlock& s = blocks[SystemAt(blocks, id)];
        for (uint16_t w = 40; w <= 43; ++w) {
            s.fields[w] = static_cast<uint16_t>(id * 0x1000 + w);
        }
        s.fields[44] = id == 2 ? 0x0002 : 0x0001;
        s.tables[10] = {1, 2, {}};
    }
    blocks[0].fields[54] = 0xFFFF;  // word 57 once the name has its blanks
    auto built = BuildImage(k510, blocks);
    To511(*built);
    for (uint32_t w = 61; w <= 64; ++w) {
        EXPECT_EQ((*built)[w], 0x2000 + 40 + (w - 61)) << w;
    }
    EXPECT_EQ((*built)[57], 0x2803 | 0x0020);
    EXPECT_EQ((*built)[59], 0x2525);
    EXPECT_EQ((*built)[60], 0x2626);
    EXPECT_EQ((*built)[65], 0x00AB);
    const uint16_t kind = F::FindKindBlock(*built, 0);
    EXPECT_EQ((*built)[kind + 25U], 0);
    EXPECT_EQ((*built)[kind + 13U], 0);
    for (uint16_t id : {2, 3}) {
        const uint16_t s = F::FindSystemBlock(*built, id);
        EXPECT_EQ((*built)[s + 40U], 0);
        EXPECT_EQ((*built)[s + 44U], 0);
        EXPECT_EQ((*built)[s + 91U], 0);  // table 10 emptied, its records gone
        EXPECT_EQ(F::GetTable(*built, s, 10).size, 0);
    }
}

TEST(Converter510To511Systems, Kind1And3RecordClears) {
    auto blocks = Blocks({1, 3});
    blocks[SystemAt(blocks, 1)].tables[5] = {2,
                                             5,
                                             {0xF0F0, 0, 0, 0x81FF, 0xFFFF,  //
                                              0xF0F0, 0, 0, 0x80FF, 0xFFFF}};
    blocks[SystemAt(blocks, 2)].tables[5] = {2,
                                             7,
                                             {0xF0F0, 0, 0, 0x81FF, 0xFFFF, 0, 0,  //
                                              0xF0F0, 0, 0, 0x80FF, 0xFFFF, 0, 0}};
    blocks[SystemAt(blocks, 2)].tables[6] = {1, 21, {}};
    auto built = BuildImage(k510, blocks);
    To511(*built);
    const uint16_t k1 = F::FindSystemBlock(*built, 1);
    const TableSpan a = F::TableStart(*built, k1, 5);
    ASSERT_EQ(a.count, 2);  // read wide now
    ASSERT_EQ(a.size, 5);
    EXPECT_EQ((*built)[a.start], 0x00F0);
    EXPECT_EQ((*built)[a.start + 3], 0x0100);
    EXPECT_EQ((*built)[a.start + 4], 0x003F);
    EXPECT_EQ((*built)[a.start + 5 + 3], 0x00FC);
    const uint16_t k3 = F::FindSystemBlock(*built, 2);
    const TableSpan b = F::TableStart(*built, k3, 5);
    ASSERT_EQ(b.count, 2);
    ASSERT_EQ(b.size, 7);
    EXPECT_EQ((*built)[b.start], 0xF0F0);
    EXPECT_EQ((*built)[b.start + 3], 0x8101);
    EXPECT_EQ((*built)[b.start + 7 + 3], 0x80FD);
    EXPECT_EQ(F::GetTable(*built, k3, 6).size, 21);
    EXPECT_EQ(F::GetTable(*built, k3, 6).count, 1);
}

TEST(Converter510To511Groups, FixedPartAndRecordsGetBlanks) {
    auto blocks = Blocks({0});
    TestBlock& g = blocks.back();
    for (uint16_t w = 4; w <= 22; ++w) {
        g.fields[w] = static_cast<uint16_t>(0x100 + w);
    }
    std::vector<uint16_t> t2 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    for (auto& w : t2) {
        w = static_cast<uint16_t>(0xF0F0 + w);
    }
    g.tables[2] = {1, 13, t2};
    g.tables[0] = {1, 18, std::vector<uint16_t>(18, 0)};
    g.tables[0].data[9] = 0x0C00;
    auto built = BuildImage(k510, blocks);
    EXPECT_EQ(To511(*built), 16 + 48 + 3 + 1);
    const uint16_t group = F::FindGroupBlock(*built, 1);
    EXPECT_EQ((*built)[group + 8U], 0x108);
    for (uint32_t w = 9; w <= 11; ++w) {
        EXPECT_EQ((*built)[group + w], 0x2020);
    }
    EXPECT_EQ((*built)[group + 12U], 0x109);
    EXPECT_EQ((*built)[group + 15U], 0x10C);
    EXPECT_EQ((*built)[group + 16U], 0x10D & 0x01FF);
    EXPECT_EQ((*built)[group + 17U], 0);
    const TableSpan r0 = F::TableStart(*built, group, 0);
    EXPECT_EQ(r0.size, 21);
    EXPECT_EQ((*built)[r0.start + 9], 0);        // former word 6
    EXPECT_EQ((*built)[r0.start + 12], 0x0C00);  // former word 9, not a field of 5.11
    // The group-table-2 record: w0-w5, three blanks, w6-w10, then its field edits
    // (word 9 bits 0-2 and 5, bits 12-15 of words 10-12, all of word 13).
    const TableSpan r2 = F::TableStart(*built, group, 2);
    ASSERT_EQ(r2.size, 14);
    const uint16_t expected[] = {0xF0F0, 0xF0F1, 0xF0F2,           0xF0F3, 0xF0F4, 0xF0F5, 0x2020,
                                 0x2020, 0x2020, 0xF0F6 & ~0x0027, 0x00F7, 0x00F8, 0x00F9, 0};
    for (uint32_t k = 0; k < 14; ++k) {
        EXPECT_EQ((*built)[r2.start + k], expected[k]) << k;
    }
}

TEST(Converter510To511Groups, TableZeroMovesItsTwoBitValue) {
    auto blocks = Blocks({0});
    std::vector<uint16_t> record(18, 0);
    record[6] = 0x0C00;  // becomes record word 9 after the rebuild
    blocks.back().tables[0] = {1, 18, record};
    auto built = BuildImage(k510, blocks);
    To511(*built);
    const TableSpan r0 = F::TableStart(*built, F::FindGroupBlock(*built, 1), 0);
    EXPECT_EQ((*built)[r0.start + 9], 0);
    EXPECT_EQ((*built)[r0.start + 18], 3);
}

TEST(Converter510To511Layout, TypesMoveAndWideDescriptorsWiden) {
    auto blocks = Blocks({0, 1, 3, 4});
    blocks[SystemAt(blocks, 1)].tables[0] = {3, 8, {}};
    blocks[SystemAt(blocks, 3)].tables[5] = {2, 7, {}};
    blocks[SystemAt(blocks, 3)].tables[6] = {1, 21, {}};
    blocks[SystemAt(blocks, 3)].fields[134] = 0x1234;  // fixed part of a kind-3 system
    blocks[SystemAt(blocks, 4)].tables[7] = {4, 26, {}};
    auto built = BuildImage(k510, blocks);
    To511(*built);
    for (const BlockEntry& b : test::Blocks(*built)) {
        EXPECT_EQ((*built)[b.start + 1U] & 0xC000, 0) << b.start;
    }
    const uint16_t s0 = F::FindSystemBlock(*built, 1);
    EXPECT_EQ((*built)[s0 + 81U], (3 << 5) | 8);
    const uint16_t s3 = F::FindSystemBlock(*built, 3);
    EXPECT_EQ((*built)[s3 + 338U], (2 << 5) | 7);
    EXPECT_EQ((*built)[s3 + 339U], (1 << 5) | 21);
    EXPECT_EQ((*built)[s3 + 134U], 0x1234);
    const uint16_t s4 = F::FindSystemBlock(*built, 4);
    EXPECT_EQ((*built)[s4 + 305U], (4 << 5) | 26);
    EXPECT_EQ(F::BlockType(*built, s4), kSystemBlock);
    EXPECT_EQ(F::BlockType(*built, F::FindKindBlock(*built, 4)), kKindBlock);
}

}  // namespace
}  // namespace quillon
