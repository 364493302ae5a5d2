#include "parms/Converter59To510.h"

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

constexpr uint16_t k59 = 0x0509;

int32_t To510(CodeplugImage& image) {
    return test::ConvertChecked(image, kFormat59, kFormat510);
}

TEST(Converter59To510Header, TableOneGrowsAndFieldsMove) {
    auto blocks = MinimalBlocks(k59, {0}, 1);
    TestBlock& h = blocks[0];
    h.tables[1] = {16, 2, {}};
    h.tables[2] = {1, 1, {0x3333}};
    h.fields[29] = 0x0000;
    h.fields[6] = 0x0020;  // bits 4-7 = 2
    h.fields[24] = 0x0001;
    h.fields[23] = 0xFFFF;
    h.fields[46] = 0x4241;  // "AB"
    h.fields[47] = 0x0043;  // "C" and a zero byte
    h.fields[48] = 0x4645;  // "EF"
    auto built = BuildImage(k59, blocks);
    const uint16_t headerLength = F::BlockLength(*built, uint16_t{0});
    EXPECT_EQ(To510(*built), 20 + 96);
    EXPECT_EQ(F::BlockLength(*built, uint16_t{0}), headerLength + 116);
    const TableSpan t1 = F::TableStart(*built, uint16_t{0}, 1);
    EXPECT_EQ(t1.start, 84U);
    EXPECT_EQ(t1.count, 64);
    EXPECT_EQ((*built)[t1.start + 32], 0);
    EXPECT_EQ((*built)[t1.start + 127], 0);
    EXPECT_EQ((*built)[t1.start + 128], 0x3333);
    EXPECT_EQ(test::TextAt(*built, 46), "ABC EF    ");
    EXPECT_EQ((*built)[28] & 0x1C00, 0x0400);
    EXPECT_EQ((*built)[6], 0x0040);
    EXPECT_EQ((*built)[24], 0x0002);
    EXPECT_EQ((*built)[23], 0xF0FF);
}

TEST(Converter59To510Header, SetFieldsAreKept) {
    auto blocks = MinimalBlocks(k59, {0}, 1);
    blocks[0].tables[1] = {16, 1, {}};
    blocks[0].fields[29] = 0x0400;
    blocks[0].fields[6] = 0x0070;
    blocks[0].fields[24] = 0x0003;
    auto built = BuildImage(k59, blocks);
    To510(*built);
    EXPECT_EQ((*built)[28], 0);
    EXPECT_EQ((*built)[6], 0x0070);
    EXPECT_EQ((*built)[24], 0x0003);
}

TEST(Converter59To510Systems, Kind0RecordsAndValueMove) {
    auto blocks = MinimalBlocks(k59, {0}, 1);
    TestBlock& s = blocks[SystemAt(blocks, 1)];
    std::vector<uint16_t> records(72);
    for (uint32_t k = 0; k < records.size(); ++k) {
        records[k] = static_cast<uint16_t>(0x100 + k);
    }
    s.tables[3] = {2, 36, records};
    s.fields[4] = 0x00A0;
    s.fields[28] = 0xF03F;
    blocks[1].fields[30] = 0x1111;
    blocks[1].fields[39] = 0x2222;
    blocks[1].fields[40] = 0x3333;
    auto built = BuildImage(k59, blocks);
    EXPECT_EQ(To510(*built), 20 + 44);
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    EXPECT_EQ((*built)[sys + 4U], 0);
    EXPECT_EQ((*built)[sys + 28U], 0xF03F | (0xA << 6));
    const TableSpan t3 = F::TableStart(*built, sys, 3);
    EXPECT_EQ(t3.size, 58);
    EXPECT_EQ((*built)[t3.start + 35], 0x100 + 35);
    EXPECT_EQ((*built)[t3.start + 36], 0);
    EXPECT_EQ((*built)[t3.start + 57], 0);
    EXPECT_EQ((*built)[t3.start + 58], 0x100 + 36);
    const uint16_t kind = F::FindKindBlock(*built, 0);
    EXPECT_EQ((*built)[kind + 30U], 0);
    EXPECT_EQ((*built)[kind + 39U], 0);
    EXPECT_EQ((*built)[kind + 40U], 0x3333);
}

TEST(Converter59To510Systems, Kind1TablesAndThreeWordTable) {
    auto blocks = MinimalBlocks(k59, {1}, 1);
    TestBlock& s = blocks[SystemAt(blocks, 1)];
    s.tables[5] = {2,
                   4,
                   {0xF123, 0x0A0B, 0x0C0D, 0x1E00,  //
                    0x0456, 0x1111, 0x2222, 0x0600}};
    s.tables[6] = {1, 18, {}};
    s.tables[11] = {1, 1, {0x9999}};
    s.fields[10] = 13 << 9;
    auto built = BuildImage(k59, blocks);
    To510(*built);
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    EXPECT_EQ(F::GetDescriptorList(*built, sys).count, 17);
    const TableSpan t5 = F::TableStart(*built, sys, 5);
    ASSERT_EQ(t5.size, 5);
    EXPECT_EQ((*built)[t5.start + 3], 0);       // bits 9-12 moved out
    EXPECT_EQ((*built)[t5.start + 4], 0x000F);  // ... into word 4 bits 0-5
    EXPECT_EQ((*built)[t5.start + 5 + 3], 0x0000);
    EXPECT_EQ((*built)[t5.start + 5 + 4], 0x0003);
    const TableSpan t6 = F::TableStart(*built, sys, 6);
    EXPECT_EQ(t6.size, 19);
    EXPECT_EQ(F::GetTable(*built, sys, 9).size, 2);
    const TableSpan t10 = F::TableStart(*built, sys, 10);
    ASSERT_EQ(t10.count, 2);
    ASSERT_EQ(t10.size, 3);
    const uint16_t expected[] = {0x0123, 0x0A0B, 0x0C0D, 0x0456, 0x1111, 0x2222, 0x9999};
    for (uint32_t k = 0; k < 7; ++k) {
        EXPECT_EQ((*built)[t10.start + k], expected[k]) << k;
    }
    EXPECT_EQ((*built)[sys + 10U], 16 << 9);
}

TEST(Converter59To510Systems, ExistingThreeWordTableIsKept) {
    auto blocks = MinimalBlocks(k59, {1, 1}, 1);
    TestBlock& first = blocks[SystemAt(blocks, 1)];
    first.tables[5] = {1, 4, {1, 2, 3, 4}};
    first.tables[10] = {1, 2, {7, 8}};
    first.fields[10] = 3 << 9;
    auto built = BuildImage(k59, blocks);
    To510(*built);
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    EXPECT_EQ(F::GetTable(*built, sys, 10).size, 2);
    EXPECT_EQ((*built)[F::TableStart(*built, sys, 10).start], 7);
    EXPECT_EQ((*built)[sys + 10U], 7 << 9);
    const uint16_t second = F::FindSystemBlock(*built, 2);
    EXPECT_EQ(F::GetTable(*built, second, 10).count, 0);
    EXPECT_EQ(F::GetTable(*built, second, 10).size, 3);
}

TEST(Converter59To510Systems, Kind4TablesAndTheRepairByTypeCode) {
    for (uint16_t typeCode : {4, 8}) {
        auto blocks = MinimalBlocks(k59, {4}, 1);
        blocks[0].fields[5] = typeCode;
        TestBlock& s = blocks[SystemAt(blocks, 1)];
        s.tables[6] = {1, 8, {0xF001, 0xFFFF, 0xFFFF, 0x1A00, 0, 0, 0, 0}};
        s.tables[7] = {1, 22, {}};
        s.tables[11] = {1, 32, {}};
        s.fields[250] = 0x9000;
        s.fields[248] = 12;
        auto built = BuildImage(k59, blocks);
        EXPECT_EQ(To510(*built), 20 + 6 + 5 + 4 + 32 + 3) << typeCode;
        const uint16_t sys = F::FindSystemBlock(*built, 1);
        EXPECT_EQ(F::GetDescriptorList(*built, sys).count, 21);
        const TableSpan t6 = F::TableStart(*built, sys, 6);
        ASSERT_EQ(t6.size, 13);
        const uint16_t repaired = typeCode == 4 ? 0x0FFF : 0xFFFF;
        EXPECT_EQ((*built)[t6.start + 1], repaired);
        EXPECT_EQ((*built)[t6.start + 3], 0);
        EXPECT_EQ((*built)[t6.start + 12], 0x000D);
        const TableSpan t14 = F::TableStart(*built, sys, 14);
        ASSERT_EQ(t14.count, 1);
        EXPECT_EQ((*built)[t14.start], 0xF001);  // word 0 copied whole
        EXPECT_EQ((*built)[t14.start + 1], repaired);
        EXPECT_EQ((*built)[t14.start + 2], repaired);
        EXPECT_EQ(F::GetTable(*built, sys, 15).size, 2);
        EXPECT_EQ((*built)[sys + 250U], 0);
        EXPECT_EQ((*built)[sys + 263U], 9 << 7);
        EXPECT_EQ((*built)[sys + 248U], 16);
    }
}

TEST(Converter59To510Systems, Kind5GrowsItsMemberMaps) {
    auto blocks = MinimalBlocks(k59, {5}, 1);
    blocks[SystemAt(blocks, 1)].tables[2] = {1, 37, {}};
    auto built = BuildImage(k59, blocks);
    EXPECT_EQ(To510(*built), 20 + 22);
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    EXPECT_EQ(F::GetTable(*built, sys, 2).size, 59);
    EXPECT_EQ(F::GetTable(*built, sys, 3).size, 37);
}

TEST(Converter59To510Groups, TablesGetTheirSizesAndFieldsMove) {
    auto blocks = MinimalBlocks(k59, {0}, 1);
    TestBlock& g = blocks.back();
    std::vector<uint16_t> t0(17, 0);
    t0[14] = 0xFFF5;
    std::vector<uint16_t> t1(15, 0);
    t1[11] = 0x2C00;  // bits 10-13 = 0xB
    g.tables[0] = {1, 17, t0};
    g.tables[1] = {1, 15, t1};
    g.tables[2] = {0, 0, {}};
    auto built = BuildImage(k59, blocks);
    EXPECT_EQ(To510(*built), 20 + 1);
    const uint16_t group = F::FindGroupBlock(*built, 1);
    const TableSpan r0 = F::TableStart(*built, group, 0);
    EXPECT_EQ(r0.size, 18);
    EXPECT_EQ((*built)[r0.start + 14], 0xFFF0);
    EXPECT_EQ((*built)[r0.start + 16], 0x0005);
    EXPECT_EQ((*built)[r0.start + 17], 0);
    const TableSpan r1 = F::TableStart(*built, group, 1);
    EXPECT_EQ((*built)[r1.start + 11], 0);
    EXPECT_EQ((*built)[r1.start + 12], 0xB << 2);
    EXPECT_EQ(F::GetTable(*built, group, 2).size, 13);
    EXPECT_EQ(F::GetTable(*built, group, 3).size, 13);
    EXPECT_EQ(F::GetTable(*built, group, 4).size, 14);
}

}  // namespace
}  // namespace quillon
