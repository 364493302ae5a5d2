#include "parms/CodeplugFormat.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/parms/TestImage.h"

namespace quillon {
namespace {

using test::BuildImage;
using test::MinimalBlocks;
using F = CodeplugFormat;

constexpr uint16_t k58 = 0x0508;
constexpr uint16_t k59 = 0x0509;
constexpr uint16_t k510 = 0x050A;
constexpr uint16_t k511 = 0x050B;

TEST(CodeplugFormatVersion, IndexOfStoredVersions) {
    CodeplugImage img{};
    img[3] = 0x050B;
    EXPECT_EQ(F::FormatIndex(img), 6);
    for (uint16_t other : {0x050C, 0x0408, 0x0000, 0x0504}) {
        img[3] = other;
        EXPECT_EQ(F::FormatIndex(img), kUnknownFormat) << std::hex << other;
    }
    EXPECT_EQ(F::FormatIndexOf(5, 5), 0);
    EXPECT_EQ(F::VersionOfIndex(6).minor, 11);
    EXPECT_EQ(F::VersionOfIndex(7).major, 0);
    EXPECT_EQ(F::VersionOfIndex(255).minor, 0);
}

TEST(CodeplugFormatBlocks, LengthWordDependsOnFormat) {
    CodeplugImage img{};
    img[0] = kBlockMarker;
    img[1] = 0x4012;
    img[3] = k511;
    EXPECT_EQ(F::BlockLength(img, uint16_t{0}), 16402);
    img[3] = k510;
    EXPECT_EQ(F::BlockLength(img, uint16_t{0}), 18);
    EXPECT_EQ(F::BlockType(img, 0), 1);

    // Writing a length keeps the type bits before 5.11.
    F::SetBlockLength(img, uint16_t{0}, 0x0123);
    EXPECT_EQ(img[1], 0x4123);
}

TEST(CodeplugFormatTables, WideDescriptorsCountTowardsLaterTables) {
    auto blocks = MinimalBlocks(k511, {0}, 1);
    blocks[2].tables[0] = {97, 5, {}};
    blocks[2].tables[1] = {2, 3, {}};
    auto built = BuildImage(k511, blocks);
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    ASSERT_EQ(sys, built.starts[2]);
    EXPECT_EQ(built[sys + 81], 0x0C25);
    EXPECT_TRUE(F::IsWideTable(*built, sys, 0));
    EXPECT_FALSE(F::IsWideTable(*built, sys, 1));
    const TableInfo wide = F::GetTable(*built, BlockRef::System(1), 0);
    EXPECT_EQ(wide.count, 97);
    EXPECT_EQ(wide.size, 5);
    const TableSpan second = F::TableStart(*built, BlockRef::System(1), 1);
    EXPECT_EQ(second.start, sys + 96U + 97 * 5);
    EXPECT_EQ(second.count, 2);

    // The same word read narrow, as any format before 5.11 reads it.
    (*built)[3] = k510;
    (*built)[sys + 2] &= 0xF9FF;  // no block type in word +2 before 5.11
    const TableInfo narrow = F::GetTable(*built, sys, 0);
    EXPECT_EQ(narrow.count, 12);
    EXPECT_EQ(narrow.size, 37);
}

TEST(CodeplugFormatTables, SetTableLeavesNegativePartsAndNeighbourBits) {
    auto built = BuildImage(k510, MinimalBlocks(k510, {0}, 1));
    F::SetTable(*built, BlockRef::Header(), 2, 7, -1);
    EXPECT_EQ(F::GetTable(*built, uint16_t{0}, 2).count, 7);
    EXPECT_EQ(F::GetTable(*built, uint16_t{0}, 2).size, 0);
    F::SetTable(*built, BlockRef::Header(), 2, -1, 300);  // does not spill into the count
    EXPECT_EQ(F::GetTable(*built, uint16_t{0}, 2).count, 7);
    F::SetDescriptorList(*built, BlockRef::Group(1), 30, -1);
    const DescriptorList list = F::GetDescriptorList(*built, BlockRef::Group(1));
    EXPECT_EQ(list.offset, 30);
    EXPECT_EQ(list.count, 15);
}

TEST(CodeplugFormatLookup, MissingBlocksGiveTheHeaderPosition) {
    auto built = BuildImage(k510, MinimalBlocks(k510, {0, 4}, 3));
    EXPECT_EQ(F::FindSystemBlock(*built, 2), built.starts[4]);
    EXPECT_EQ(F::FindSystemBlock(*built, 9), 0);
    EXPECT_EQ(F::FindGroupBlock(*built, 0), 0);
    EXPECT_EQ(F::FindGroupBlock(*built, 3), built.starts[7]);
    EXPECT_EQ(F::FindGroupBlock(*built, 4), 0);
    EXPECT_EQ(F::FindKindBlock(*built, 4), built.starts[2]);
    EXPECT_EQ(F::FindKindBlock(*built, 5), 0);
    EXPECT_EQ(F::SystemKind(*built, 2), 4);
}

TEST(CodeplugFormatLookup, WalkStopsAtZeroLengthAndAtTheBufferEnd) {
    auto built = BuildImage(k510, MinimalBlocks(k510, {0}, 1));
    const uint16_t group = built.starts[3];
    (*built)[group + 1] = 0xC000;  // type 3, length 0
    EXPECT_EQ(F::FindGroupBlock(*built, 1), 0);
    EXPECT_EQ(F::WalkBlocks(*built, 0xFFFF, [](const BlockEntry&) { return true; }), group);

    CodeplugImage img{};
    img[0] = kBlockMarker;
    img[1] = 32000;
    img[3] = k511;
    img[4] = 0xFFFF;
    img[32000] = kBlockMarker;
    img[32001] = 1000;  // would run past the buffer
    EXPECT_EQ(F::WalkBlocks(img, 0xFFFF, [](const BlockEntry&) { return true; }), 32000U);
}

TEST(CodeplugFormatMoving, InsertShiftsAndZeroesAndDropsTheBufferEnd) {
    auto built = BuildImage(k59, MinimalBlocks(k59, {0}, 1));
    CodeplugImage before = *built;
    (*built)[kCodeplugWords - 1] = 0xAAAA;
    before[kCodeplugWords - 21] = 0xBBBB;
    (*built)[kCodeplugWords - 21] = 0xBBBB;
    F::InsertWords(*built, 49, 20);
    for (uint32_t w = 49; w < 69; ++w) {
        EXPECT_EQ(built[w], 0) << w;
    }
    for (uint32_t w = 49; w < 400; ++w) {
        EXPECT_EQ(built[w + 20], before[w]) << w;
    }
    EXPECT_EQ(built[kCodeplugWords - 1], 0xBBBB);  // the last 20 words were pushed out
}

TEST(CodeplugFormatMoving, DeleteLeavesTheLastWordsAsTheyWere) {
    CodeplugImage img{};
    for (uint32_t w = 0; w < kCodeplugWords; ++w) {
        img[w] = static_cast<uint16_t>(w);
    }
    F::DeleteWords(img, 100, 3);
    EXPECT_EQ(img[100], 103);
    EXPECT_EQ(img[kCodeplugWords - 4], kCodeplugWords - 1);
    for (uint32_t w = kCodeplugWords - 3; w < kCodeplugWords; ++w) {
        EXPECT_EQ(img[w], static_cast<uint16_t>(w));
    }
    CodeplugImage same = img;
    F::MoveTail(img, 500, 500);
    F::MoveTail(img, 40000, 10);  // nothing reaches the buffer
    F::ClearWords(img, 32767, 100);
    EXPECT_EQ(img[32766], same[32766]);
    EXPECT_EQ(img[32767], 0);
    EXPECT_EQ(F::Word(img, 40000), 0);
    F::SetWord(img, 40000, 1);
}

TEST(CodeplugFormatText, FieldIsBlankPadded) {
    CodeplugImage img{};
    F::WriteText(img, "FAVORITES", 39);
    EXPECT_EQ(test::TextAt(img, 39), "FAVORITES ");
    EXPECT_EQ(img[39], 0x4146);  // 'F' low byte, 'A' high byte
    F::WriteText(img, "1", 39);
    EXPECT_EQ(test::TextAt(img, 39), "1         ");
    F::WriteText(img, "ABCDEFGHIJKLMN", 39);
    EXPECT_EQ(test::TextAt(img, 39), "ABCDEFGHIJ");
    EXPECT_EQ(img[44], 0);
}

TEST(CodeplugFormatFields, SetFieldDoesNotMaskTheValue) {
    CodeplugImage img{};
    img[7] = 0xFFFF;
    F::SetField(img, 7, 0x00F0, 4, 0x3);
    EXPECT_EQ(img[7], 0xFF3F);
    EXPECT_EQ(F::GetField(img, 7, 0x00F0, 4), 0x3);
    F::SetField(img, 7, 0x00F0, 4, 0x1F);  // the fifth bit lands in bit 8
    EXPECT_EQ(img[7], 0xFFFF);
}

TEST(CodeplugFormatTables, ReplaceAndEmptyAdjustLengths) {
    auto blocks = MinimalBlocks(k510, {5}, 1);
    blocks[2].tables[2] = {2, 3, {1, 2, 3, 4, 5, 6}};
    blocks[2].tables[3] = {1, 2, {7, 8}};
    auto built = BuildImage(k510, blocks);
    const uint16_t sys = built.starts[2];
    const uint16_t length = F::BlockLength(*built, sys);
    const uint16_t total = F::TotalLength(*built);

    const uint16_t data[] = {9, 9, 9, 9};
    EXPECT_EQ(F::ReplaceTable(*built, BlockRef::System(1), 2, data, 1, 4), -2);
    EXPECT_EQ(F::GetTable(*built, sys, 2).count, 1);
    EXPECT_EQ(F::GetTable(*built, sys, 2).size, 4);
    const TableSpan third = F::TableStart(*built, sys, 3);
    EXPECT_EQ(built[third.start], 7);
    EXPECT_EQ(built[third.start - 1], 9);
    EXPECT_EQ(F::BlockLength(*built, sys), length - 2);

    EXPECT_EQ(F::EmptySystemTable(*built, 1, 3), -2);
    EXPECT_EQ(F::GetTable(*built, sys, 3).size, 0);
    EXPECT_EQ(F::TotalLength(*built), total - 4);
    EXPECT_EQ(built[F::TotalLength(*built) - kTrailerWords], test::TrailerWord(0));
    EXPECT_TRUE(CodeplugFormat().CheckStructure(*built));
}

TEST(CodeplugFormatSwap, SwapsWholeWordsOnly) {
    uint8_t bytes[] = {1, 2, 3, 4, 5};
    F::SwapWordBytes(bytes, 5);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[3], 3);
    EXPECT_EQ(bytes[4], 5);
}

// --- structure check ---------------------------------------------------------------------------

std::string Reason(const CodeplugImage& img) {
    std::string reason;
    EXPECT_FALSE(CodeplugFormat().CheckStructure(img, &reason));
    EXPECT_FALSE(reason.empty());
    return reason;
}

TEST(CodeplugFormatCheck, AcceptsImagesOfEveryStoredLayout) {
    for (uint16_t version : {k58, k59, k510, k511}) {
        auto blocks = MinimalBlocks(version, {0, 1, 3, 4, 5}, 2);
        blocks[0].tables[0] = {16, 3, {}};
        auto built = BuildImage(version, blocks);
        std::string reason;
        EXPECT_TRUE(CodeplugFormat().CheckStructure(*built, &reason)) << version << reason;
    }
}

TEST(CodeplugFormatCheck, WalkMustEndExactlyBeforeTheTrailer) {
    auto built = BuildImage(k510, MinimalBlocks(k510, {0}, 1));
    (*built)[4] += 1;  // one word short
    Reason(*built);
    (*built)[4] -= 2;
    Reason(*built);
}

TEST(CodeplugFormatCheck, SharedKindBlockForKinds1And3) {
    auto blocks = MinimalBlocks(k510, {1, 1, 3}, 1);
    auto built = BuildImage(k510, blocks);
    EXPECT_TRUE(CodeplugFormat().CheckStructure(*built));

    blocks.insert(blocks.begin() + 1, test::KindBlock(3));
    auto twoKindBlocks = BuildImage(k510, blocks);
    Reason(*twoKindBlocks);
}

TEST(CodeplugFormatCheck, EverySystemIdFromOneToTheCountMustExist) {
    auto blocks = MinimalBlocks(k510, {0, 0}, 1);
    blocks[3].ident = 0x0003;  // ids 1 and 3 for a count of 2
    auto built = BuildImage(k510, blocks);
    EXPECT_NE(Reason(*built).find("id 2"), std::string::npos);
}

TEST(CodeplugFormatCheck, RejectsCountsLengthsAndMarkers) {
    auto good = BuildImage(k510, MinimalBlocks(k510, {0}, 1));
    const uint32_t group = good.starts[3];
    const struct {
        const char* what;
        uint32_t word;
        uint16_t value;
    } damage[] = {
        {"no header marker", 0, 0},
        {"header of type 2", 1, static_cast<uint16_t>(good[1] | 0x8000)},
        {"total length too short", 4, 128},
        {"total length past the buffer", 4, 40000},
        {"no group blocks", 14, 0x0001},
        {"55 groups, 17 systems", 14, 0x3711},
        {"group block lost its marker", group, 0x1234},
        {"group block of length 0", group + 1, 0xC000},
    };
    for (const auto& d : damage) {
        SCOPED_TRACE(d.what);
        CodeplugImage img = *good;
        img[d.word] = d.value;
        Reason(img);
    }
}

TEST(CodeplugFormatCheck, DescriptorsMustStayInsideTheirBlock) {
    auto blocks = MinimalBlocks(k510, {0}, 1);
    auto good = BuildImage(k510, blocks);
    CodeplugImage img = *good;
    const uint16_t group = good.starts[3];
    img[group + 23 + 4] = 0xFF10;  // 255 records of 16 words in a 38-word block
    EXPECT_NE(Reason(img).find("tables"), std::string::npos);

    img = *good;
    img[group + 2] = (31 << 11) | 23;  // 31 descriptors from word 23 in 38 words
    Reason(img);

    // The older layout of word +2 is read as stored: 15 descriptors, not 30.
    auto old = BuildImage(k58, MinimalBlocks(k58, {0}, 1));
    EXPECT_EQ((*old)[2], 0xF031);
    EXPECT_TRUE(CodeplugFormat().CheckStructure(*old));
}

}  // namespace
}  // namespace quillon
