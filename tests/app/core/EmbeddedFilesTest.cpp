#include "app/core/EmbeddedFiles.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/core/RecordingView.h"
#include "tests/sim/SimProcess.h"

namespace quillon {
namespace {

using sim::testing::TempDir;
using test::RecordingView;

// A resource table built from name/text pairs.
class Resources {
public:
    void Add(const std::string& name, const std::string& text) { texts_[name] = text; }
    ResourceTable Table() {
        entries_.clear();
        for (const auto& [name, text] : texts_) {
            const auto* p = reinterpret_cast<const unsigned char*>(text.data());
            entries_.push_back({name.c_str(), p, p + text.size()});
        }
        return ResourceTable(entries_);
    }

private:
    std::map<std::string, std::string> texts_;
    std::vector<ResourceEntry> entries_;
};

std::string Piece(const std::string& name) {
    return "S3" + name + "\n";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Touch(const std::string& path, const std::string& text = "old") {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Resources of a build: stored upper case as the build stores them; `counts` per set.
Resources BuildResources(uint32_t loaders, uint32_t codes, const std::string& suffix = "") {
    Resources r;
    for (uint32_t j = 1; j <= loaders; ++j) {
        r.Add("LOADER" + suffix + "_" + std::to_string(j), Piece("L" + suffix + std::to_string(j)));
    }
    for (uint32_t j = 1; j <= codes; ++j) {
        r.Add("CODE" + suffix + "_" + std::to_string(j), Piece("C" + suffix + std::to_string(j)));
    }
    return r;
}

std::string Joined(const std::string& tag, uint32_t count) {
    std::string text;
    for (uint32_t j = 1; j <= count; ++j) {
        text += Piece(tag + std::to_string(j));
    }
    return text;
}

struct ExtractCase {
    const char* what;
    uint32_t loaders;
    uint32_t codes;
    const char* suffix;  // the set the resources are stored for
    bool boot;
    bool bootTwo;
    uint8_t upgradeType;
    std::vector<std::string> leftInFolder;
    std::vector<std::string> leftAtRoot;
    bool ok;
    const char* box;  // nullptr: none
    const char* loaderFile;
    const char* codeFile;
    std::vector<std::string> filesAfter;  // the folder's files afterwards (sorted)
};

class ExtractTest : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractTest, WritesJoinsAndCleansUp) {
    const ExtractCase& c = GetParam();
    TempDir folder;
    TempDir root;
    for (const auto& f : c.leftInFolder) {
        Touch(folder.Path() + "/" + f);
    }
    for (const auto& f : c.leftAtRoot) {
        Touch(root.Path() + "/" + f);
    }
    Resources resources = BuildResources(c.loaders, c.codes, c.suffix);
    const ResourceTable table = resources.Table();
    ResourceAttributes a;
    a.UpgradeType = c.upgradeType;
    const std::string suffix = c.suffix;
    uint32_t* counts = suffix == "_BootTwo" ? &a.BootTwoLoaderCount
                       : suffix == "_Boot"  ? &a.BootLoaderCount
                                            : &a.LoaderCount;
    counts[0] = c.loaders;
    counts[1] = c.codes;

    RecordingView view;
    EmbeddedFiles files(table, folder.Path(), root.Path());
    std::string loaderFile;
    std::string codeFile;
    EXPECT_EQ(files.ExtractEmbeddedFiles(view, a, c.boot, c.bootTwo, loaderFile, codeFile), c.ok);
    if (c.box == nullptr) {
        EXPECT_TRUE(view.boxes.empty());
    } else {
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, c.box);
        EXPECT_EQ(view.boxes[0].caption, "Embedded Files");
        EXPECT_EQ(view.boxes[0].icon, MessageIcon::Error);
    }
    if (c.ok) {
        EXPECT_EQ(loaderFile, c.loaderFile);
        EXPECT_EQ(codeFile, c.codeFile);
        EXPECT_EQ(Slurp(folder.Path() + "/" + loaderFile), Joined("L" + suffix, c.loaders));
        EXPECT_EQ(Slurp(folder.Path() + "/" + codeFile), Joined("C" + suffix, c.codes));
    }
    EXPECT_EQ(FilesIn(folder.Path()), c.filesAfter);
    for (const auto& f : c.leftInFolder) {
        EXPECT_EQ(Slurp(folder.Path() + "/" + f), "old") << f << " must be left alone";
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Sets, ExtractTest,
    ::testing::Values(
        //          what                        L  C   set         boot   two    type in folder                              at root          ok     box                          loader         code          folder afterwards
        // 13 pieces join in number order (10..13 after 9, not after 1).
        ExtractCase{"application",              1, 13, "",         false, false, 3, {},                                    {},              true,  nullptr,                     "Loader.hex",  "Code.hex",  {"Code.hex", "Loader.hex"}},
        ExtractCase{"boot",                     1, 1,  "_Boot",    true,  false, 3, {},                                    {},              true,  nullptr,                     "Loader.hex",  "Code.hex",  {"Code.hex", "Loader.hex"}},
        ExtractCase{"second boot set wins",     2, 3,  "_BootTwo", true,  true,  3, {},                                    {},              true,  nullptr,                     "Loader.hex",  "Code.hex",  {"Code.hex", "Loader.hex"}},
        ExtractCase{"empty set",                0, 0,  "_BootTwo", false, true,  3, {},                                    {},              true,  nullptr,                     "Loader.hex",  "Code.hex",  {"Code.hex", "Loader.hex"}},
        ExtractCase{"dsp",                      1, 2,  "",         false, false, 2, {},                                    {},              true,  nullptr,                     "Loader.hex",  "Code.OUT",  {"Code.OUT", "Loader.hex"}},
        ExtractCase{"joined names taken",       1, 2,  "",         false, false, 3, {"Loader.hex", "Code.hex", "Code1.hex"}, {"Loader1.hex"}, true,  nullptr,                     "Loader2.hex", "Code2.hex", {"Code.hex", "Code1.hex", "Code2.hex", "Loader.hex", "Loader2.hex"}},
        ExtractCase{"left-over loader piece",   1, 13, "",         false, false, 3, {"Loader.1"},                          {},              false, EmbeddedFiles::kLoaderError, "",            "",          {"Loader.1"}},
        ExtractCase{"loader piece at the root", 2, 1,  "",         false, false, 3, {},                                    {"Loader.2"},    false, EmbeddedFiles::kLoaderError, "",            "",          {"Loader.1"}},
        ExtractCase{"left-over code piece",     1, 3,  "",         false, false, 3, {"Code.2"},                            {},              false, EmbeddedFiles::kCodeError,   "",            "",          {"Code.1", "Code.2", "Code.3", "Loader.1", "Loader.hex"}}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
        return name;
    });
// clang-format on

TEST(EmbeddedFilesTest, MissingPieceResourceFailsWithTheLoaderText) {
    TempDir folder;
    TempDir root;
    Resources resources = BuildResources(1, 1);
    const ResourceTable table = resources.Table();
    ResourceAttributes a;
    a.LoaderCount = 2;  // the record promises a piece the program does not carry
    a.CodeCount = 1;
    RecordingView view;
    EmbeddedFiles files(table, folder.Path(), root.Path());
    std::string loader;
    std::string code;
    EXPECT_FALSE(files.ExtractEmbeddedFiles(view, a, false, false, loader, code));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, EmbeddedFiles::kLoaderError);
}

TEST(EmbeddedFilesTest, UnwritableFolderGivesTheBoxNotACrash) {
    TempDir base;
    const std::string notADir = base.Path() + "/plain-file";
    Touch(notADir);
    for (const std::string& folder : {notADir + "/sub", base.Path() + "/missing"}) {
        Resources resources = BuildResources(1, 1);
        const ResourceTable table = resources.Table();
        ResourceAttributes a;
        a.LoaderCount = 1;
        a.CodeCount = 1;
        RecordingView view;
        EmbeddedFiles files(table, folder, base.Path() + "/root");
        std::string loader;
        std::string code;
        EXPECT_FALSE(files.ExtractEmbeddedFiles(view, a, false, false, loader, code));
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, EmbeddedFiles::kLoaderError);
    }
}

TEST(EmbeddedFilesTest, JoinSkipsMissingAndNonPlainPieces) {
    TempDir folder;
    TempDir root;
    Touch(folder.Path() + "/Code.1", "one\n");
    std::filesystem::create_directory(folder.Path() + "/Code.2");
    Touch(folder.Path() + "/Code.4", "four\n");
    Resources none;
    const ResourceTable table = none.Table();
    EmbeddedFiles files(table, folder.Path(), root.Path());
    EXPECT_EQ(files.JoinPieces("Code", 4, "hex"), "Code.hex");
    EXPECT_EQ(Slurp(folder.Path() + "/Code.hex"), "one\nfour\n");
}

TEST(EmbeddedFilesTest, ReadResourceAttributesFillsTheLabelsOrLeavesThemAlone) {
    ResourceAttributes built;
    built.CodeCount = 13;
    built.BootMajor = 6;
    built.BootMinor = 7;
    built.Series = 6;
    built.UpgradeType = 3;
    ResourceAttributes::SetField(built.TesseraVersion, "2.18.x");
    // Bytes after the terminating zero are ignored.
    built.VernierVersion = {'3', '.', '0', '.', 'x', '\0', 'j', 'u', 'n', 'k'};
    const auto record = built.Encode();
    const std::string bytes(record.begin(), record.end());

    Resources resources;
    resources.Add("RESOURCEATTRIBUTES_", bytes);
    ResourceTable table = resources.Table();
    RecordingView view;
    ResourceAttributes read;
    ASSERT_TRUE(EmbeddedFiles::ReadResourceAttributes(table, view, read));
    EXPECT_EQ(read.CodeCount, 13u);
    EXPECT_EQ(read.BootMinor, 7u);
    EXPECT_EQ(view.target.model, "6700");
    EXPECT_EQ(view.target.series, "6");
    EXPECT_EQ(view.target.upgradeType, "Application/Boot");
    EXPECT_EQ(view.target.tesseraVersion, "2.18.x");
    EXPECT_EQ(view.target.vernierVersion, "3.0.x");

    for (const std::string& stored : {std::string(), bytes.substr(0, 67)}) {
        Resources broken;
        if (!stored.empty()) {
            broken.Add("ResourceAttributes_", stored);
        }
        ResourceTable brokenTable = broken.Table();
        RecordingView quiet;
        ResourceAttributes zero;
        zero.CodeCount = 99;
        EXPECT_FALSE(EmbeddedFiles::ReadResourceAttributes(brokenTable, quiet, zero));
        EXPECT_EQ(zero.CodeCount, 0u);
        EXPECT_FALSE(quiet.targetShown);
    }
}

}  // namespace
}  // namespace quillon
