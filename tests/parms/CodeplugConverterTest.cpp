#include "parms/CodeplugConverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <string>
#include <vector>

#include "parms/CodeplugFormat.h"
#include "tests/parms/TestImage.h"

namespace quillon {
namespace {

using test::BuildImage;
using test::MinimalBlocks;
using F = CodeplugFormat;

constexpr uint16_t k58 = 0x0508;
constexpr uint16_t k59 = 0x0509;
constexpr uint16_t k510 = 0x050A;

// A step that records the order of its slots.
class RecordingStep : public CodeplugConverter {
public:
    explicit RecordingStep(uint8_t stepIndex) { m_StepIndex = stepIndex; }
    std::vector<std::string> calls;

protected:
    void Note(const std::string& what) { calls.push_back(what); }
    void ConvertHeader() override { Note("header"); }
    void HeaderResized() override { Note("header-resized"); }
    void ConvertKindBlock0() override { Note("kind0"); }
    void ConvertKindBlock1() override { Note("kind1@" + std::to_string(KindBlockOf(1))); }
    void ConvertKindBlock4() override { Note("kind4"); }
    void ConvertKindBlock5() override { Note("kind5"); }
    void KindBlockResized0() override { Note("kind0-resized"); }
    void KindBlockResized1() override { Note("kind1-resized"); }
    void KindBlockResized4() override { Note("kind4-resized"); }
    void KindBlockResized5() override { Note("kind5-resized"); }
    void ConvertSystem0(uint16_t id) override { Note("sys0:" + std::to_string(id)); }
    void ConvertSystem1(uint16_t id) override { Note("sys1:" + std::to_string(id)); }
    void ConvertSystem3(uint16_t id) override { Note("sys3:" + std::to_string(id)); }
    void ConvertSystem4(uint16_t id) override { Note("sys4:" + std::to_string(id)); }
    void ConvertSystem5(uint16_t id) override { Note("sys5:" + std::to_string(id)); }
    void SystemResized0(uint16_t id) override { Note("sys0-resized:" + std::to_string(id)); }
    void SystemResized1(uint16_t id) override { Note("sys1-resized:" + std::to_string(id)); }
    void SystemResized3(uint16_t id) override { Note("sys3-resized:" + std::to_string(id)); }
    void SystemResized4(uint16_t id) override { Note("sys4-resized:" + std::to_string(id)); }
    void SystemResized5(uint16_t id) override { Note("sys5-resized:" + std::to_string(id)); }
    void ConvertGroupTable0(uint16_t n) override { Note("g" + std::to_string(n) + "t0"); }
    void ConvertGroupTable1(uint16_t n) override { Note("g" + std::to_string(n) + "t1"); }
    void ConvertGroupTable2(uint16_t n) override { Note("g" + std::to_string(n) + "t2"); }
    void ConvertGroupTable3(uint16_t n) override { Note("g" + std::to_string(n) + "t3"); }
    void ConvertGroupTable4(uint16_t n) override { Note("g" + std::to_string(n) + "t4"); }
    void GroupResized(uint16_t n) override { Note("g" + std::to_string(n) + "-resized"); }
    void ConvertGroup(uint16_t n) override { Note("g" + std::to_string(n)); }
};

// A step that only offers its helpers to the test, acting on a given image.
class HelperStep : public CodeplugConverter {
public:
    HelperStep(CodeplugImage& image, uint8_t stepIndex) : m_Target(image) {
        m_StepIndex = stepIndex;
    }
    // Runs `edit` from inside the header slot, where the helpers work on the image.
    template <class Edit>
    void Apply(Edit edit) {
        m_Edit = edit;
        Run(m_Target);
    }
    using CodeplugConverter::ChangeRecordCount;
    using CodeplugConverter::ChangeRecordSize;
    using CodeplugConverter::DeclareEmptyTable;

protected:
    void ConvertHeader() override {
        if (m_Edit) {
            m_Edit(*this);
        }
    }

private:
    CodeplugImage& m_Target;
    std::function<void(HelperStep&)> m_Edit;
};

// A 5.9 image with word +2 already in the newer layout, as a step into 5.9 sees it when it
// runs without resizing anything; the structure check then reads it as the chain would leave it.
template <class Edit>
test::BuiltImage Relaid(uint16_t version, Edit edit) {
    auto blocks = MinimalBlocks(version, {0}, 1);
    edit(blocks);
    auto built = BuildImage(version, blocks);
    CodeplugConverter::RelayoutDescriptorCounts(*built);
    return built;
}

bool StoredWellFormed(const CodeplugImage& relaid) {
    CodeplugImage stored = relaid;
    CodeplugConverter::RestoreDescriptorCounts(stored);
    return CodeplugFormat().CheckStructure(stored);
}

TEST(CodeplugConverter, SlotsRunInTheFixedOrder) {
    // Systems: id 1 kind 5, id 2 kind 3 (sharing the kind-1 block), id 3 kind 0, id 4 kind 2.
    auto built = BuildImage(k510, MinimalBlocks(k510, {5, 3, 0, 2}, 2));
    RecordingStep step(kFormat511);
    step.Run(*built);
    std::vector<std::string> expected = {
        "header-resized", "header",         "kind0-resized",
        "kind0",          "kind1-resized",  "kind1@" + std::to_string(F::FindKindBlock(*built, 1)),
        "kind5-resized",  "kind5",          "sys5-resized:1",
        "sys5:1",         "sys3-resized:2", "sys3:2",
        "sys0-resized:3", "sys0:3"};
    for (const char* g : {"g1", "g2"}) {
        for (const char* slot : {"-resized", "", "t0", "t1", "t2", "t3", "t4"}) {
            expected.push_back(std::string(g) + slot);
        }
    }
    EXPECT_EQ(step.calls, expected);
    EXPECT_EQ((*built)[3], 0x050B);
}

TEST(CodeplugConverter, KindBlockCarryingKind3ServesKinds1And3) {
    auto blocks = MinimalBlocks(k510, {3}, 1);
    blocks[1] = test::KindBlock(3);
    auto built = BuildImage(k510, blocks);
    RecordingStep step(kFormat511);
    step.Run(*built);
    const uint16_t kindBlock = F::FindKindBlock(*built, 3);
    ASSERT_NE(kindBlock, 0);
    EXPECT_NE(std::find(step.calls.begin(), step.calls.end(), "kind1@" + std::to_string(kindBlock)),
              step.calls.end());
    // The header kept its own layout instead of being resized as a kind block.
    EXPECT_EQ(F::GetDescriptorList(*built, uint16_t{0}).offset, 85);
}

TEST(CodeplugConverter, GenericResizeOfTheHeaderInto510) {
    auto blocks = MinimalBlocks(k59, {0}, 1);
    blocks[0].fields[48] = 0x1111;
    auto built = BuildImage(k59, blocks);
    CodeplugConverter::RelayoutDescriptorCounts(*built);
    CodeplugImage before = *built;
    RecordingStep step(kFormat510);
    step.Run(*built);
    EXPECT_EQ(F::GetDescriptorList(*built, uint16_t{0}).offset, 69);
    EXPECT_EQ(F::GetDescriptorList(*built, uint16_t{0}).count, 15);
    EXPECT_EQ((*built)[48], 0x1111);
    for (uint32_t w = 49; w < 69; ++w) {
        EXPECT_EQ((*built)[w], 0) << w;
    }
    for (uint32_t w = 49; w < 64; ++w) {
        EXPECT_EQ((*built)[w + 20], before[w]) << w;
    }
    EXPECT_EQ(step.LengthChange(), 20);
    EXPECT_EQ(F::BlockLength(*built, uint16_t{0}), F::BlockLength(before, uint16_t{0}) + 20);
}

TEST(CodeplugConverter, GenericResizeAppendsEmptyDescriptors) {
    auto blocks = MinimalBlocks(k59, {4}, 1);
    blocks[2].tables[14] = {2, 3, {1, 2, 3, 4, 5, 6}};
    auto built = BuildImage(k59, blocks);
    CodeplugConverter::RelayoutDescriptorCounts(*built);
    RecordingStep step(kFormat510);
    step.Run(*built);
    const uint16_t sys = F::FindSystemBlock(*built, 1);
    EXPECT_EQ(F::GetDescriptorList(*built, sys).count, 21);
    for (unsigned t = 15; t < 21; ++t) {
        EXPECT_EQ((*built)[sys + 298 + t], 0) << t;
    }
    const TableSpan t14 = F::TableStart(*built, sys, 14);
    EXPECT_EQ(t14.start, sys + 319U);
    EXPECT_EQ((*built)[t14.start + 5], 6);
    EXPECT_TRUE(CodeplugFormat().CheckStructure(*built));
}

TEST(CodeplugConverter, PreStepRewritesWordTwo) {
    auto built = BuildImage(k58, MinimalBlocks(k58, {0}, 1));
    (*built)[2] = 0x3031;
    CodeplugConverter::RelayoutDescriptorCounts(*built);
    EXPECT_EQ((*built)[2], 0x1831);
    CodeplugConverter::RestoreDescriptorCounts(*built);
    EXPECT_EQ((*built)[2], 0x3031);
}

TEST(CodeplugConverter, RecordSizeChangeKeepsOldWordsFirst) {
    auto built = Relaid(k59, [](std::vector<test::TestBlock>& blocks) {
        blocks[0].tables[2] = {3, 2, {1, 2, 3, 4, 5, 6}};
        blocks[0].tables[3] = {1, 2, {7, 8}};
    });
    const uint16_t length = F::BlockLength(*built, uint16_t{0});
    HelperStep step(*built, kFormat59);
    step.Apply([](HelperStep& s) { s.ChangeRecordSize(0, 2, 4, 0x2020); });
    const TableSpan t2 = F::TableStart(*built, uint16_t{0}, 2);
    const std::vector<uint16_t> expected = {1,      2, 0x2020, 0x2020, 3,      4, 0x2020,
                                            0x2020, 5, 6,      0x2020, 0x2020, 7, 8};
    for (uint32_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ((*built)[t2.start + k], expected[k]) << k;
    }
    EXPECT_EQ(t2.size, 4);
    // The 5.9 layouts add no words, so only the records grew.
    EXPECT_EQ(F::BlockLength(*built, uint16_t{0}), length + 6);
    EXPECT_EQ(step.LengthChange(), 6);
}

TEST(CodeplugConverter, RecordCountChangeAddsOrRemovesWholeRecords) {
    auto built = Relaid(k59, [](std::vector<test::TestBlock>& blocks) {
        blocks[0].tables[1] = {2, 3, {1, 2, 3, 4, 5, 6}};
        blocks[0].tables[2] = {1, 1, {9}};
    });
    HelperStep grow(*built, kFormat59);
    grow.Apply([](HelperStep& s) { s.ChangeRecordCount(0, 1, 4); });
    EXPECT_EQ(grow.LengthChange(), 6);
    const TableSpan t1 = F::TableStart(*built, uint16_t{0}, 1);
    EXPECT_EQ(t1.count, 4);
    EXPECT_EQ((*built)[t1.start + 5], 6);
    EXPECT_EQ((*built)[t1.start + 6], 0);
    EXPECT_EQ((*built)[t1.start + 12], 9);

    HelperStep shrink(*built, kFormat59);
    shrink.Apply([](HelperStep& s) { s.ChangeRecordCount(0, 1, 1); });
    EXPECT_EQ(shrink.LengthChange(), -9);
    EXPECT_EQ((*built)[F::TableStart(*built, uint16_t{0}, 2).start], 9);
    EXPECT_TRUE(StoredWellFormed(*built));
}

TEST(CodeplugConverter, DeclaringATableEmptyRemovesItsRecords) {
    auto built = Relaid(k59, [](std::vector<test::TestBlock>& blocks) {
        blocks[0].tables[5] = {2, 2, {1, 2, 3, 4}};
        blocks[0].tables[6] = {1, 1, {9}};
    });
    HelperStep step(*built, kFormat59);
    step.Apply([](HelperStep& s) { s.DeclareEmptyTable(0, 5, 4); });
    EXPECT_EQ(F::GetTable(*built, uint16_t{0}, 5).size, 4);
    EXPECT_EQ(F::GetTable(*built, uint16_t{0}, 5).count, 0);
    EXPECT_EQ((*built)[F::TableStart(*built, uint16_t{0}, 6).start], 9);
    EXPECT_EQ(step.LengthChange(), -4);
    EXPECT_TRUE(StoredWellFormed(*built));
}

// --- the chain ---------------------------------------------------------------------------------

TEST(CodeplugFormatChain, EmptyChainsChangeNothing) {
    auto built = BuildImage(k510, MinimalBlocks(k510, {0, 1}, 1));
    const CodeplugImage before = *built;
    CodeplugFormat format;
    EXPECT_TRUE(format.ConvertChain(*built, 5, 5));
    EXPECT_TRUE(format.ConvertChain(*built, 6, 6));
    EXPECT_TRUE(format.ConvertChain(*built, 1, 3));
    EXPECT_TRUE(format.ConvertChain(*built, 6, 3));
    EXPECT_EQ(format.LengthChange(), 0);
    EXPECT_EQ(*built, before);
}

TEST(CodeplugFormatChain, FullChainReaches511AndAccountsForEveryWord) {
    auto built = BuildImage(k58, MinimalBlocks(k58, {0, 1, 3, 4, 5}, 3));
    const uint16_t total = F::TotalLength(*built);
    CodeplugFormat format;
    ASSERT_TRUE(format.ConvertChain(*built, 3, 6));
    EXPECT_EQ((*built)[3], 0x050B);
    EXPECT_EQ(F::TotalLength(*built), total + format.LengthChange());
    std::string reason;
    EXPECT_TRUE(format.CheckStructure(*built, &reason)) << reason;
    for (uint32_t k = 0; k < kTrailerWords; ++k) {
        ASSERT_EQ((*built)[F::TotalLength(*built) - kTrailerWords + k], test::TrailerWord(k));
    }
    // Every block carries its type in word +2 and only its length in word +1.
    for (const BlockEntry& b : test::Blocks(*built)) {
        EXPECT_EQ((*built)[b.start + 1U], b.length);
    }
    EXPECT_EQ(F::BlockType(*built, F::FindGroupBlock(*built, 3)), kGroupBlock);
}

TEST(CodeplugFormatChain, ChainFrom59RelaysOutBeforeItsStep) {
    auto blocks = MinimalBlocks(k59, {0}, 1);
    blocks[0].tables[1] = {16, 2, {}};
    auto built = BuildImage(k59, blocks);
    CodeplugFormat format;
    ASSERT_TRUE(format.ConvertChain(*built, 4, 5));
    // 20 fixed words and 48 records of 2 words: read in the older layout the header would
    // have shown 30 descriptors and the table edits would have landed elsewhere.
    EXPECT_EQ(format.LengthChange(), 20 + 96);
    EXPECT_EQ(F::GetTable(*built, uint16_t{0}, 1).count, 64);
    EXPECT_TRUE(format.CheckStructure(*built));
}

TEST(CodeplugFormatChain, ChainEndingAt59KeepsTheStoredLayout) {
    auto blocks = MinimalBlocks(k58, {0}, 1);
    blocks[0].tables[0] = {16, 2, {}};
    blocks[0].tables[1] = {16, 2, {}};
    blocks[0].tables[2] = {4, 1, {}};
    auto built = BuildImage(k58, blocks);
    const CodeplugImage before = *built;
    CodeplugFormat format;
    ASSERT_TRUE(format.ConvertChain(*built, 3, 4));
    EXPECT_EQ((*built)[3], 0x0509);
    EXPECT_EQ((*built)[2], 0xF031);  // 15 descriptors from word 49, older layout
    // The favourites land after tables 0 to 2 (32 + 32 + 4 words), not 15 words off.
    const uint32_t favourites = 64 + 32 + 32 + 4;
    for (uint32_t k = 0; k < 16; ++k) {
        EXPECT_EQ((*built)[favourites + k], 0xFF01) << k;
    }
    EXPECT_EQ((*built)[49 + 3], 0x1001);  // 16 records of one word
    EXPECT_EQ((*built)[64], before[64]);  // table 0 untouched
    EXPECT_EQ(format.LengthChange(), 16);
    EXPECT_TRUE(format.CheckStructure(*built));
}

TEST(CodeplugFormatChain, GrowthPastTheBufferIsReported) {
    // Two kind-4 systems whose 255 records of table 11 double in size (255 x 32 words each).
    auto blocks = MinimalBlocks(k59, {4, 4}, 1);
    blocks[3].tables[11] = {255, 32, {}};
    blocks[4].tables[11] = {255, 32, {}};
    blocks[0].tables[1] = {16, 200, {}};
    auto built = BuildImage(k59, blocks);
    ASSERT_TRUE(CodeplugFormat().CheckStructure(*built));
    CodeplugFormat format;
    EXPECT_FALSE(format.ConvertChain(*built, 4, 6));
}

}  // namespace
}  // namespace quillon
