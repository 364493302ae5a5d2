#include "app/core/EmbeddedFiles.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/core/RecordingView.h"
#include "tests/sim/SimProcess.h"
#include "tests/support/FileSizeLimit.h"

namespace quillon {
namespace {

using sim::testing::TempDir;
using test::FileSizeLimit;
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

// Piece j of `count` of an image tagged `tag`: one sound S3 record carrying the tag and j, the
// last piece closed by the end record, so the joined pieces make a sound image. A DSP build's
// code ("C" tag with `coff`) is a COFF file with no sections, cut after its header.
std::string Piece(const std::string& tag, uint32_t j, uint32_t count, bool coff = false) {
    if (coff) {
        return j == 1 ? std::string(22, '\0') : tag + std::to_string(j);
    }
    const std::string data = tag + std::to_string(j);
    unsigned sum = static_cast<unsigned>(data.size() + 5) + j;
    char text[16];
    std::snprintf(text, sizeof text, "S3%02X%08X", static_cast<unsigned>(data.size() + 5), j);
    std::string line = text;
    for (unsigned char c : data) {
        std::snprintf(text, sizeof text, "%02X", c);
        line += text;
        sum += c;
    }
    std::snprintf(text, sizeof text, "%02X\n", ~sum & 0xFF);
    return line + text + (j == count ? "S9030000FC\n" : "");
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
Resources BuildResources(uint32_t loaders, uint32_t codes, const std::string& suffix = "",
                         bool coff = false) {
    Resources r;
    for (uint32_t j = 1; j <= loaders; ++j) {
        r.Add("LOADER" + suffix + "_" + std::to_string(j), Piece("L" + suffix, j, loaders));
    }
    for (uint32_t j = 1; j <= codes; ++j) {
        r.Add("CODE" + suffix + "_" + std::to_string(j), Piece("C" + suffix, j, codes, coff));
    }
    return r;
}

std::string Joined(const std::string& tag, uint32_t count, bool coff = false) {
    std::string text;
    for (uint32_t j = 1; j <= count; ++j) {
        text += Piece(tag, j, count, coff);
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
    const bool coff = c.upgradeType == ResourceAttributes::kUpgradeDsp;
    Resources resources = BuildResources(c.loaders, c.codes, c.suffix, coff);
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
        EXPECT_EQ(Slurp(folder.Path() + "/" + codeFile), Joined("C" + suffix, c.codes, coff));
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
        ExtractCase{"dsp",                      1, 2,  "",         false, false, 2, {},                                    {},              true,  nullptr,                     "Loader.hex",  "Code.OUT",  {"Code.OUT", "Loader.hex"}},
        ExtractCase{"joined names taken",       1, 2,  "",         false, false, 3, {"Loader.hex", "Code.hex", "Code1.hex"}, {"Loader1.hex"}, true,  nullptr,                     "Loader2.hex", "Code2.hex", {"Code.hex", "Code1.hex", "Code2.hex", "Loader.hex", "Loader2.hex"}},
        // Failures remove every file the extraction made and leave the others alone.
        ExtractCase{"empty set is no image",    0, 0,  "_BootTwo", false, true,  3, {},                                    {},              false, EmbeddedFiles::kLoaderError, "",            "",          {}},
        ExtractCase{"empty code image",         1, 0,  "",         false, false, 3, {},                                    {},              false, EmbeddedFiles::kCodeError,   "",            "",          {}},
        ExtractCase{"left-over loader piece",   1, 13, "",         false, false, 3, {"Loader.1"},                          {},              false, EmbeddedFiles::kLoaderError, "",            "",          {"Loader.1"}},
        ExtractCase{"loader piece at the root", 2, 1,  "",         false, false, 3, {},                                    {"Loader.2"},    false, EmbeddedFiles::kLoaderError, "",            "",          {}},
        ExtractCase{"left-over code piece",     1, 3,  "",         false, false, 3, {"Code.2"},                            {},              false, EmbeddedFiles::kCodeError,   "",            "",          {"Code.2"}}),
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

// A joined file holds exactly the bytes of its pieces or is not there at all.
TEST(EmbeddedFilesTest, AJoinThatCannotBeWholeLeavesNothing) {
    const struct {
        const char* what;
        bool missingPiece;
        bool directoryPiece;
        rlim_t sizeLimit;  // 0: none
    } cases[] = {
        {"missing piece", true, false, 0},
        {"piece that is a folder", false, true, 0},
        {"disk full while joining", false, false, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir folder;
        TempDir root;
        for (int j = 1; j <= 3; ++j) {
            const std::string piece = folder.Path() + "/Code." + std::to_string(j);
            if (j == 2 && c.directoryPiece) {
                std::filesystem::create_directory(piece);
            } else if (j != 2 || !c.missingPiece) {
                Touch(piece, std::string(60, static_cast<char>('0' + j)));
            }
        }
        Resources none;
        const ResourceTable table = none.Table();
        EmbeddedFiles files(table, folder.Path(), root.Path());
        std::string joined;
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (c.sizeLimit != 0) {
                limit = std::make_unique<FileSizeLimit>(c.sizeLimit);
            }
            joined = files.JoinPieces("Code", 3, "hex");
        }
        EXPECT_EQ(joined, "");
        EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/Code.hex"));
    }
}

// Every failure shows the box of the image it happened in and leaves nothing of the run: no
// piece, no joined file that a download could take for a whole image.
TEST(EmbeddedFilesTest, FailuresShowTheirBoxAndLeaveNothingOfTheRun) {
    const std::string cut = Piece("C", 2, 2);
    const std::string loader = Piece("L", 1, 1);
    const std::string endsInS7 = loader.substr(0, loader.find("S9")) + "S70500000000FA\n";
    enum class Folder { kOk, kMissing, kUnderAFile };
    const struct {
        const char* what;
        const char* resource;  // replaced or added; nullptr: none
        std::string text;
        uint32_t loaders = 1;
        uint8_t upgradeType = 3;
        Folder folder = Folder::kOk;
        bool diskFull = false;  // the pieces fit, the joined code does not
        const char* box = EmbeddedFiles::kCodeError;
    } cases[] = {
        {"record promises a piece not carried", nullptr, "", 2, 3, Folder::kOk, false,
         EmbeddedFiles::kLoaderError},
        {"folder missing", nullptr, "", 1, 3, Folder::kMissing, false, EmbeddedFiles::kLoaderError},
        {"folder under a plain file", nullptr, "", 1, 3, Folder::kUnderAFile, false,
         EmbeddedFiles::kLoaderError},
        {"disk full while joining the code", nullptr, "", 1, 3, Folder::kOk, true},
        {"loader is a text file", "LOADER_1", "meeting notes\n", 1, 3, Folder::kOk, false,
         EmbeddedFiles::kLoaderError},
        {"code cut before its end record", "CODE_2", cut.substr(0, cut.find("S9"))},
        {"code cut inside a record", "CODE_2", cut.substr(0, 20)},
        {"DSP loader ending in S7", "LOADER_1", endsInS7, 1, 2, Folder::kOk, false,
         EmbeddedFiles::kLoaderError},
        {"DSP code shorter than its header", "CODE_1", std::string(10, '\0'), 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir base;
        TempDir root;
        Touch(base.Path() + "/plain-file");
        const std::string folder = c.folder == Folder::kMissing ? base.Path() + "/missing"
                                   : c.folder == Folder::kUnderAFile
                                       ? base.Path() + "/plain-file/sub"
                                       : base.Path() + "/work";
        std::filesystem::create_directory(base.Path() + "/work");
        Resources resources = BuildResources(1, 2, "", c.upgradeType == 2);
        if (c.resource != nullptr) {
            resources.Add(c.resource, c.text);
        }
        const ResourceTable table = resources.Table();
        ResourceAttributes a;
        a.LoaderCount = c.loaders;
        a.CodeCount = 2;
        a.UpgradeType = c.upgradeType;
        RecordingView view;
        EmbeddedFiles files(table, folder, root.Path());
        std::string loaderFile;
        std::string codeFile;
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (c.diskFull) {
                limit = std::make_unique<FileSizeLimit>(Joined("C", 2).size() - 1);
            }
            EXPECT_FALSE(files.ExtractEmbeddedFiles(view, a, false, false, loaderFile, codeFile));
        }
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, c.box);
        EXPECT_EQ(view.boxes[0].caption, "Embedded Files");
        EXPECT_TRUE(FilesIn(base.Path() + "/work").empty());
    }
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
