#include "parms/Converter58To59.h"

#include <gtest/gtest.h>

#include "parms/CodeplugFormat.h"
#include "tests/parms/TestImage.h"

namespace quillon {
namespace {

using test::BuildImage;
using test::MinimalBlocks;
using test::TestBlock;
using F = CodeplugFormat;

constexpr uint16_t k58 = 0x0508;

int32_t To59(CodeplugImage& image) {
    return test::ConvertChecked(image, kFormat58, kFormat59);
}

// Reads tables in the newer layout of word +2, as the tests want to look at them.
CodeplugImage Relaid(const CodeplugImage& image) {
    CodeplugImage copy = image;
    CodeplugConverter::RelayoutDescriptorCounts(copy);
    return copy;
}

TEST(Converter58To59Header, FavouritesListIsAdded) {
    auto blocks = MinimalBlocks(k58, {0}, 1);
    blocks[0].tables[0] = {16, 2, {}};
    blocks[0].tables[4] = {1, 1, {0x1234}};
    auto built = BuildImage(k58, blocks);
    const uint16_t headerLength = F::BlockLength(*built, uint16_t{0});
    EXPECT_EQ(To59(*built), 16);
    const CodeplugImage img = Relaid(*built);
    const TableSpan favourites = F::TableStart(img, uint16_t{0}, 3);
    EXPECT_EQ(favourites.count, 16);
    EXPECT_EQ(favourites.size, 1);
    for (uint32_t k = 0; k < 16; ++k) {
        EXPECT_EQ(img[favourites.start + k], 0xFF01);
    }
    EXPECT_EQ(img[favourites.start + 16], 0x1234);  // table 4 follows
    EXPECT_EQ(test::TextAt(img, 39), "FAVORITES ");
    EXPECT_EQ(F::BlockLength(img, uint16_t{0}), headerLength + 16);
    EXPECT_EQ(img[25], 0x0101);
}

TEST(Converter58To59Header, ExistingListsAndFieldsStay) {
    auto blocks = MinimalBlocks(k58, {0}, 1);
    blocks[0].tables[0] = {20, 1, {}};
    blocks[0].tables[3] = {2, 1, {7, 8}};
    blocks[0].fields[25] = 0x0300;
    blocks[0].fields[39] = 0x4141;
    auto built = BuildImage(k58, blocks);
    const CodeplugImage before = *built;
    EXPECT_EQ(To59(*built), 0);
    EXPECT_EQ((*built)[39], 0x4141);
    EXPECT_EQ((*built)[25], 0x0301);  // only the zero half is defaulted
    EXPECT_EQ(F::GetTable(Relaid(*built), uint16_t{0}, 0).count, 20);
    // Tables 0 and 3 keep their records (word 70, a field inside table 0, is not zero).
    for (uint32_t w = 64; w < 64 + 22; ++w) {
        ASSERT_EQ((*built)[w], before[w]) << w;
    }
}

TEST(Converter58To59Header, ShortTableZeroGrowsTo16Records) {
    auto blocks = MinimalBlocks(k58, {0}, 1);
    blocks[0].tables[0] = {3, 2, {1, 2, 3, 4, 5, 6}};
    blocks[0].tables[3] = {16, 1, {}};
    auto built = BuildImage(k58, blocks);
    EXPECT_EQ(To59(*built), 26);
    const CodeplugImage img = Relaid(*built);
    EXPECT_EQ(F::GetTable(img, uint16_t{0}, 0).count, 16);
    EXPECT_EQ(img[64 + 5], 6);
    EXPECT_EQ(img[64 + 7], 0);
}

TEST(Converter58To59System0, PairRecordsGrowToFourWords) {
    auto blocks = MinimalBlocks(k58, {0, 0}, 1);
    blocks[0].tables[0] = {16, 2, std::vector<uint16_t>(32, 0)};
    TestBlock& sys = blocks[2];
    sys.tables[2] = {3, 2, {0x11, 0x12, 0x21, 0x22, 0x31, 0x32}};
    sys.tables[3] = {1, 1, {0x5555}};
    sys.fields[67] = 0x0001;           // an alias is present
    blocks[3].tables[2] = {2, 5, {}};  // already 4 words or more: left alone
    auto built = BuildImage(k58, blocks);
    const uint16_t length = F::BlockLength(*built, built.starts[2]);
    To59(*built);
    const CodeplugImage img = Relaid(*built);
    const uint16_t s = F::FindSystemBlock(img, 1);
    const TableSpan t2 = F::TableStart(img, s, 2);
    ASSERT_EQ(t2.size, 4);
    const uint16_t expected[] = {0x11,   0x12, 0x0225, 0x0293, 0x21,   0x22,  0x0225,
                                 0x0293, 0x31, 0x32,   0x0225, 0x0293, 0x5555};
    for (uint32_t k = 0; k < 13; ++k) {
        EXPECT_EQ(img[t2.start + k], expected[k]) << k;
    }
    EXPECT_EQ(F::BlockLength(img, s), length + 6);
    EXPECT_EQ(img[s + 67U], 0x0001);
    EXPECT_EQ(img[s + 65U], 0);

    const uint16_t second = F::FindSystemBlock(img, 2);
    EXPECT_EQ(F::GetTable(img, second, 2).size, 5);
    EXPECT_EQ(test::TextAt(img, second + 65U), "SYS ALIAS ");
    EXPECT_EQ(F::GetTable(img, second, 6).size, 9);
    EXPECT_EQ(F::GetTable(img, second, 8).size, 2);
    EXPECT_EQ(img[70] & 0xFF, 60);  // a field inside header table 0
}

TEST(Converter58To59System0, BitsAboveTheChannelFieldKeepTheirValue) {
    auto blocks = MinimalBlocks(k58, {0}, 1);
    blocks[2].tables[2] = {1, 2, {0xAAAA, 0xBBBB}};
    auto built = BuildImage(k58, blocks);
    To59(*built);
    const CodeplugImage img = Relaid(*built);
    const TableSpan t2 = F::TableStart(img, F::FindSystemBlock(img, 1), 2);
    EXPECT_EQ(img[t2.start + 2], 0x0225);  // the new word was zero, bits 12-15 stay zero
}

TEST(Converter58To59KindBlock, FirstKind0SystemIsCompleted) {
    auto blocks = MinimalBlocks(k58, {1, 0, 0}, 1);
    TestBlock& kind0 = blocks[2];
    ASSERT_EQ(kind0.ident, 0x0000);
    const uint16_t from[] = {10, 11, 12, 13, 27, 28, 30};
    for (uint16_t w : from) {
        kind0.fields[w] = static_cast<uint16_t>(0xC000 + w);
    }
    auto built = BuildImage(k58, blocks);
    To59(*built);
    const uint16_t first = F::FindSystemBlock(*built, 2);
    const uint16_t to[] = {18, 19, 21, 22, 23, 24, 25};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ((*built)[first + to[k]], 0xC000 + from[k]) << to[k];
    }
    const uint16_t second = F::FindSystemBlock(*built, 3);
    EXPECT_EQ((*built)[second + 18U], 0);
    const uint16_t kind1 = F::FindSystemBlock(*built, 1);
    EXPECT_EQ((*built)[kind1 + 18U], 0);
}

TEST(Converter58To59KindBlock, NoKind0SystemLeavesEverythingAlone) {
    auto blocks = MinimalBlocks(k58, {1}, 1);
    TestBlock kind0 = test::KindBlock(0);
    kind0.fields[10] = 0x1234;
    blocks.insert(blocks.begin() + 1, kind0);
    auto built = BuildImage(k58, blocks);
    CodeplugFormat format;
    ASSERT_TRUE(format.ConvertChain(*built, kFormat58, kFormat59));
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    EXPECT_EQ((*built)[sys + 18U], 0);
    EXPECT_EQ((*built)[3], 0x0509);
    EXPECT_EQ((*built)[F::FindKindBlock(*built, 0) + 10U], 0x1234);
}

TEST(Converter58To59Systems, ChannelSpacingSteps) {
    for (auto [v, expected] : {std::pair{11, 15}, {12, 16}, {31, 16}, {0, 4}}) {
        auto blocks = MinimalBlocks(k58, {1, 3, 4}, 1);
        // blocks: header, kind blocks 1 and 4, then systems 1 (kind 1), 2 (kind 3), 3 (kind 4)
        blocks[3].fields[10] = static_cast<uint16_t>(0xC1FF | (v << 9));
        blocks[4].fields[10] = static_cast<uint16_t>(v << 9);
        blocks[5].fields[248] = static_cast<uint16_t>(0xFFE0 | v);
        auto built = BuildImage(k58, blocks);
        To59(*built);
        EXPECT_EQ((*built)[F::FindSystemBlock(*built, 1) + 10U], 0xC1FF | (expected << 9)) << v;
        EXPECT_EQ((*built)[F::FindSystemBlock(*built, 2) + 10U], expected << 9) << v;
        EXPECT_EQ((*built)[F::FindSystemBlock(*built, 3) + 248U], 0xFFE0 | expected) << v;
    }
}

TEST(Converter58To59Systems, NewTablesGetTheirRecordSizes) {
    auto blocks = MinimalBlocks(k58, {1, 3, 4}, 1);
    blocks[3].tables[9] = {2, 2, {1, 2, 3, 4}};  // records where 5.9 declares none
    blocks[3].tables[10] = {1, 1, {0x7777}};
    auto built = BuildImage(k58, blocks);
    To59(*built);
    const CodeplugImage img = Relaid(*built);
    const uint16_t k1 = F::FindSystemBlock(img, 1);
    EXPECT_EQ(F::GetTable(img, k1, 8).size, 9);
    EXPECT_EQ(F::GetTable(img, k1, 9).count, 0);
    EXPECT_EQ(F::GetTable(img, k1, 9).size, 2);
    EXPECT_EQ(img[F::TableStart(img, k1, 10).start], 0x7777);
    for (uint16_t id : {2, 3}) {
        const uint16_t s = F::FindSystemBlock(img, id);
        EXPECT_EQ(F::GetTable(img, s, 12).size, 9);
        EXPECT_EQ(F::GetTable(img, s, 13).size, 2);
    }
}

TEST(Converter58To59Systems, Kind4RepairOnlyForTypeCode8) {
    for (uint16_t typeCode : {8, 4}) {
        auto blocks = MinimalBlocks(k58, {4}, 1);
        blocks[0].fields[5] = typeCode;
        blocks[2].tables[0] = {3,
                               6,
                               {1, 2, 3, 4, 5, 0,       // a zero word: repaired
                                0xFFFF, 0, 0, 0, 0, 0,  // starts with 0xFFFF: kept
                                1, 2, 3, 4, 5, 6}};     // complete: kept
        auto built = BuildImage(k58, blocks);
        To59(*built);
        const CodeplugImage img = Relaid(*built);
        const TableSpan t0 = F::TableStart(img, F::FindSystemBlock(img, 1), 0);
        EXPECT_EQ(img[t0.start], typeCode == 8 ? 0xFFFF : 1);
        EXPECT_EQ(img[t0.start + 5], typeCode == 8 ? 0xFFFF : 0);
        EXPECT_EQ(img[t0.start + 7], 0);
        EXPECT_EQ(img[t0.start + 12], 1);
    }
}

TEST(Converter58To59System5, EntriesBecomeOneMemberMap) {
    auto blocks = MinimalBlocks(k58, {5}, 1);
    TestBlock& sys = blocks[2];
    sys.tables[0] = {2, 10, {}};
    sys.tables[1] = {3, 2, {0xAA, 0x0000, 0xBB, 0x1F0F, 0xCC, 0x0203}};
    sys.tables[2] = {1, 5, {9, 9, 9, 9, 9}};
    sys.tables[4] = {1, 1, {0x4444}};
    auto built = BuildImage(k58, blocks);
    const uint16_t length = F::BlockLength(*built, built.starts[2]);
    To59(*built);
    const CodeplugImage img = Relaid(*built);
    const uint16_t s = F::FindSystemBlock(img, 1);
    EXPECT_EQ(F::GetTable(img, s, 0).size, 11);
    EXPECT_EQ(F::GetTable(img, s, 1).count, 0);
    EXPECT_EQ(F::GetTable(img, s, 1).size, 2);
    const TableSpan map = F::TableStart(img, s, 2);
    ASSERT_EQ(map.count, 1);
    ASSERT_EQ(map.size, 37);
    EXPECT_EQ(test::TextAt(img, map.start), "1         ");
    EXPECT_EQ(img[map.start + 5], 0x8000);
    EXPECT_EQ(img[map.start + 7], 0x1000);  // word 2, bit 3
    EXPECT_EQ(img[map.start + 36], 0x0001);
    EXPECT_EQ(img[map.start + 37], 0x4444);
    // +2 for table 0, -6 for table 1, +32 for table 2.
    EXPECT_EQ(F::BlockLength(img, s), length + 2 - 6 + 32);
}

TEST(Converter58To59System5, NoEntriesKeepsTablesOneAndTwo) {
    auto blocks = MinimalBlocks(k58, {5}, 1);
    blocks[2].tables[0] = {2, 10, {}};
    blocks[2].tables[2] = {1, 5, {9, 8, 7, 6, 5}};
    auto built = BuildImage(k58, blocks);
    EXPECT_EQ(To59(*built), 16 + 2);  // the favourites and one word per record of table 0
    const CodeplugImage img = Relaid(*built);
    const uint16_t s = F::FindSystemBlock(img, 1);
    const TableSpan t0 = F::TableStart(img, s, 0);
    EXPECT_EQ(t0.size, 11);
    EXPECT_EQ(img[t0.start + 10], 0);
    EXPECT_EQ(img[F::TableStart(img, s, 2).start + 4], 5);
}

TEST(Converter58To59System5, EntriesOutsideTheMapAreIgnored) {
    auto blocks = MinimalBlocks(k58, {5}, 1);
    blocks[2].tables[1] = {2, 2, {0, 0xFF00, 0, 0x0030}};
    auto built = BuildImage(k58, blocks);
    To59(*built);
    const CodeplugImage img = Relaid(*built);
    const TableSpan map = F::TableStart(img, F::FindSystemBlock(img, 1), 2);
    for (uint32_t w = 5; w < 37; ++w) {
        EXPECT_EQ(img[map.start + w], 0) << w;
    }
}

}  // namespace
}  // namespace quillon
