#include "download/DspDownload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/download/CoffImage.h"
#include "tests/download/DownloadFixture.h"
#include "tests/support/FileSizeLimit.h"

namespace quillon::test {
namespace {

const std::string kLoader = kDspLoader;

struct DspRun {
    explicit DspRun(sim::RadioConfig config = {}) : link(std::move(config)), report(link.pump) {
        std::string error;
        connected = link.Connect(error);
    }
    int Run(const ByteVector& coff, const std::vector<std::filesystem::path>& folders,
            const std::string& loaderText = kLoader) {
        std::istringstream loader(loaderText);
        std::istringstream dsp(std::string(coff.begin(), coff.end()));
        return DownloadDsp(DownloadContext{link.session, link.pump, report, nullptr}, loader, dsp,
                           folders);
    }
    const sim::DownloadResponder& Radio() { return link.radio.Radio().Download(); }

    InProcessLink link;
    RecordingReport report;
    bool connected = false;
};

bool FolderEmpty(const std::filesystem::path& folder) {
    return std::filesystem::is_empty(folder);
}

TEST(DspDownload, SendsUsedPagesInOrder) {
    struct Case {
        const char* name;
        std::vector<Section> sections;
        bool optionalHeader;
        std::vector<ByteVector> pages;
        std::vector<std::string> pageTexts;
    };
    const std::vector<Case> cases = {
        {"pages 5 and 0 used, 1 and 3 skipped; a section over 16000 words in pieces",
         {{0, 20000, 5}, {0x10, 100, 0}, {0, 50, 1}, {0, 50, 3}},
         false,
         {PageImage(0x10, 100, 2), PageImage(0, 20000, 1)},
         {DspPageText(1, 2), DspPageText(2, 2)}},
        {"only pages 1, 3 and 4: nothing but start and end",
         {{0, 10, 1}, {0, 10, 3}, {4, 10, 4}},
         true,
         {},
         {}},
        {"a section of size 0 still sends its page as one pair of 0xFF",
         {{0, 0, 0}},
         true,
         {ByteVector(256, 0xFF)},
         {DspPageText(1, 1)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        DspRun run;
        ASSERT_TRUE(run.connected);
        ASSERT_EQ(run.Run(MakeCoff(c.sections, c.optionalHeader), {dir.path}), kDownloadOk)
            << run.report.statuses.back();
        EXPECT_TRUE(run.Radio().DspEnded());
        ASSERT_EQ(run.Radio().DspPages().size(), c.pages.size());
        for (size_t i = 0; i < c.pages.size(); ++i) {
            EXPECT_EQ(run.Radio().DspPages()[i], c.pages[i]) << "page " << i;
        }
        for (const std::string& text : c.pageTexts) {
            EXPECT_NE(std::find(run.report.statuses.begin(), run.report.statuses.end(), text),
                      run.report.statuses.end())
                << text;
        }
        EXPECT_EQ(run.report.statuses.back(), "Download finished");
        EXPECT_TRUE(FolderEmpty(dir.path)) << "page files left behind";
    }
}

TEST(DspDownload, UnsoundFilesEndWithATextAndNothingSent) {
    ByteVector truncatedData = MakeCoff({{0, 100, 0}}, false);
    truncatedData.resize(truncatedData.size() - 1);
    const ByteVector sound = MakeCoff({{0, 100, 0}}, false);
    const std::string loaderS7 = kLoader.substr(0, kLoader.find("S9")) + "S70500000000FA\n";
    const struct {
        const char* name;
        ByteVector coff;
        std::string loader;
        const char* text;  // part of the last status
    } cases[] = {
        {"shorter than a header", ByteVector(10, 0), kLoader, "DSP file"},
        {"section table past the end", MakeCoff({{0, 4, 0}}, false, 5), kLoader, "DSP file"},
        {"data offset past the end", MakeCoff({{0, 4, 0, 0x7FFFFFF0}}, false), kLoader, "DSP file"},
        {"data cut short", truncatedData, kLoader, "DSP file"},
        {"load address far outside a page", MakeCoff({{0x7FFFFFFF, 4, 2}}, false), kLoader,
         "DSP file"},
        // Read the fixed S3 way, a loader ends only at S9: with S7 it would run to the file's end.
        {"loader ending in S7", sound, loaderS7, "Loader image not sent: line 3: end record S7"},
        {"loader cut before its end", sound, kLoader.substr(0, kLoader.find("S9")),
         "Loader image not sent: line 2: no end record"},
        {"loader is text", sound, "notes\n", "Loader image not sent: line 1: not an S-record"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        DspRun run;
        ASSERT_TRUE(run.connected);
        EXPECT_EQ(run.Run(c.coff, {dir.path}, c.loader), kDownloadFileError);
        ASSERT_FALSE(run.report.statuses.empty());
        EXPECT_NE(run.report.statuses.back().find(c.text), std::string::npos)
            << run.report.statuses.back();
        EXPECT_EQ(run.Radio().LoaderBytes(), 0);
        EXPECT_EQ(run.Radio().BlocksReceived(), 0);
        EXPECT_TRUE(FolderEmpty(dir.path));
    }
}

TEST(DspDownload, PageFilesNeverTakeOverAndAreRemovedOnFailure) {
    TempDir first, second;
    // A file of the user's named like a page file: the download moves to the next folder.
    { std::ofstream(first.path / "Page3") << "keep me"; }
    sim::RadioConfig config;
    config.download.silentFromBlock = 3;  // the loader has 2 blocks: silence in the first page
    DspRun run(config);
    ASSERT_TRUE(run.connected);
    EXPECT_EQ(run.Run(MakeCoff({{0, 300, 0}}, false), {first.path, second.path}),
              kDownloadTimedOut);
    EXPECT_EQ(run.report.statuses.back(), kDspTimedOutText);
    std::ifstream kept(first.path / "Page3");
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "keep me");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(first.path),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_TRUE(FolderEmpty(second.path));

    // No folder takes them: a clear text, no result 1, and the radio was never sent its loader.
    DspRun nowhere;
    ASSERT_TRUE(nowhere.connected);
    EXPECT_EQ(nowhere.Run(MakeCoff({{0, 4, 0}}, false), {first.path / "missing"}),
              kDownloadFileError);
    EXPECT_EQ(nowhere.report.statuses.back(), "The DSP page files cannot be created.");
    EXPECT_EQ(nowhere.Radio().LoaderBytes(), 0);
    EXPECT_EQ(nowhere.Radio().BlocksReceived(), 0);

    // A disk that fills up while the pages are built: found before the loader goes.
    TempDir full;
    DspRun filling;
    ASSERT_TRUE(filling.connected);
    {
        const FileSizeLimit limit(100);
        EXPECT_EQ(filling.Run(MakeCoff({{0, 300, 0}}, false), {full.path}), kDownloadFileError);
    }
    EXPECT_EQ(filling.report.statuses.back(), "The DSP page files cannot be written.");
    EXPECT_EQ(filling.Radio().LoaderBytes(), 0);
    EXPECT_TRUE(FolderEmpty(full.path));
}

}  // namespace
}  // namespace quillon::test
