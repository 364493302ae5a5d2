#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/ResourceAttributes.h"
#include "app/core/ResourceTable.h"
#include "download/SRecordCheck.h"
#include "tools/embed/ImageSplitter.h"
#include "tools/embed/SyntheticImage.h"

namespace quillon::embed {
namespace {

TEST(ImageSplitterTest, CutsAtLineEndsWithinTheLimit) {
    const std::string image = MakeSyntheticImage(SyntheticKind::Code, 100000, 3);
    for (size_t limit : {size_t{47}, size_t{100}, size_t{4096}, size_t{99999}, size_t{200000}}) {
        std::vector<std::string_view> pieces;
        std::string error;
        ASSERT_TRUE(SplitAtRecords(image, limit, pieces, error)) << limit << ": " << error;
        std::string joined;
        for (std::string_view p : pieces) {
            EXPECT_LE(p.size(), limit);
            EXPECT_EQ(p.back(), '\n');
            joined += p;
        }
        EXPECT_EQ(joined, image) << limit;
    }
    std::vector<std::string_view> pieces;
    std::string error;
    EXPECT_FALSE(SplitAtRecords(image, 20, pieces, error));  // one record is longer
    EXPECT_TRUE(pieces.empty());
    EXPECT_EQ(SplitBytes(std::string(10, 'x'), 4).size(), 3u);
}

TEST(SyntheticImageTest, DeterministicSoundRecordsOfTheAskedKind) {
    struct Case {
        SyntheticKind kind;
        const char* dataType;
        size_t size;
    };
    for (const Case& c :
         {Case{SyntheticKind::Loader, "S2", 16384}, Case{SyntheticKind::Code, "S3", 262144}}) {
        const std::string image = MakeSyntheticImage(c.kind, c.size, 7);
        EXPECT_EQ(image, MakeSyntheticImage(c.kind, c.size, 7));
        EXPECT_NE(image, MakeSyntheticImage(c.kind, c.size, 8));
        EXPECT_LE(image.size(), c.size);
        EXPECT_GT(image.size(), c.size - 60);
        SRecordFault fault;
        EXPECT_TRUE(CheckSRecordImage(image, fault)) << fault.line << ": " << fault.reason;
        const size_t second = image.find('\n') + 1;
        EXPECT_EQ(image.substr(second, 2), c.dataType);
        EXPECT_EQ(image.substr(image.size() - 11), "S9030000FC\n");
    }
}

// The resources this build embedded: the record's counts name exactly the pieces present.
TEST(EmbeddedResourcesTest, RecordCountsMatchThePiecesAndLookupIgnoresCase) {
    ResourceTable table(EmbeddedResourceEntries());
    std::string_view bytes;
    ASSERT_TRUE(table.Find("ResourceAttributes_", bytes));
    ASSERT_EQ(bytes.size(), ResourceAttributes::kSize);
    const auto a = ResourceAttributes::Decode(reinterpret_cast<const uint8_t*>(bytes.data()));
    struct Set {
        const char* stem;
        uint32_t count;
    };
    const Set sets[] = {{"Loader", a.LoaderCount},
                        {"Code", a.CodeCount},
                        {"Loader_Boot", a.BootLoaderCount},
                        {"Code_Boot", a.BootCodeCount},
                        {"Loader_BootTwo", a.BootTwoLoaderCount},
                        {"Code_BootTwo", a.BootTwoCodeCount}};
    size_t pieces = 0;
    for (const Set& s : sets) {
        for (uint32_t j = 1; j <= s.count + 1; ++j) {
            const std::string name = std::string(s.stem) + "_" + std::to_string(j);
            const bool present = table.Find(name, bytes);
            EXPECT_EQ(present, j <= s.count) << name;
            if (present) {
                EXPECT_LE(bytes.size(), kMaxPieceBytes);
                ++pieces;
            }
        }
    }
    EXPECT_EQ(pieces + 1, EmbeddedResourceEntries().size());
    EXPECT_GE(a.LoaderCount, 1u);
    EXPECT_GE(a.CodeCount, 1u);
    EXPECT_NE(std::string(EmbeddedProgramName()).find("_Release_"), std::string::npos);
}

}  // namespace
}  // namespace quillon::embed
