#include "download/CodeDownload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>

#include "tests/download/DownloadFixture.h"

namespace quillon::test {
namespace {

constexpr size_t kPairBytes = 256;

// A loader and a code image made by objcopy, and a radio to take them.
struct CodeDownloadRun {
    explicit CodeDownloadRun(sim::RadioConfig config = {}, bool portMode = false)
        : link(std::move(config)), report(link.pump) {
        std::string error;
        if (portMode) {
            port = link.radio.MakeLine();
            connected = link.session.Connect(*port, InProcessLink::kDevicePath, error);
        } else {
            connected = link.Connect(error);
        }
    }

    int Run(const std::string& loader, const std::string& code, uint8_t radioType = 0,
            bool boot = false, bool processor416 = true, bool console = false) {
        std::istringstream loaderIn(loader), codeIn(code);
        return DownloadCode(link.session, loaderIn, codeIn, report, radioType, boot, processor416,
                            console, &cancel, link.pump);
    }
    const sim::DownloadResponder& Radio() { return link.radio.Radio().Download(); }

    InProcessLink link;
    std::unique_ptr<SerialLine> port;
    RecordingReport report;
    CancelFlag cancel;
    bool connected = false;
};

class CodeDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveObjcopy()) {
            GTEST_SKIP() << "objcopy (binutils) is not installed: no S-record images to test with";
        }
        loaderBinary = PatternBytes(3000, 7);
        const auto madeLoader = Objcopy(dir, loaderBinary, "s2", "loader");
        const auto madeCode = Objcopy(dir, PatternBytes(5000, 9), "s3", "code");
        ASSERT_TRUE(madeLoader && madeCode) << "objcopy failed";
        loader = *madeLoader;
        code = *madeCode;
    }

    TempDir dir;
    ByteVector loaderBinary;
    std::string loader;
    std::string code;
};

// The stream the radio stores is the binary's bytes and 0xFF up to a whole pair of blocks.
TEST_F(CodeDownloadTest, RadioStoresTheBinaryPaddedToWholePairs) {
    struct Case {
        size_t size;
        size_t padding;
    };
    const std::vector<Case> cases = {
        {512, 0},          // an even number of blocks: no padding block
        {384, 128},        // ends in the first block of a pair: a second block of 0xFF
        {1001, 23},        // an odd length: the last record carries 9 bytes
        {4096 + 17, 239},  // a partial block
        {70000, 70144 - 70000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const ByteVector binary = PatternBytes(c.size, static_cast<uint32_t>(c.size));
        const auto image = Objcopy(dir, binary, "s3", "case");
        ASSERT_TRUE(image);
        CodeDownloadRun run;
        ASSERT_TRUE(run.connected);
        run.link.session.SetRadioBaud(115200);
        ASSERT_EQ(run.Run(loader, *image), kDownloadOk) << run.report.statuses.back();
        ByteVector expected = binary;
        expected.insert(expected.end(), c.padding, 0xFF);
        EXPECT_EQ(run.Radio().CodeStream().size() % kPairBytes, 0u);
        EXPECT_EQ(run.Radio().CodeStream(), expected);
        EXPECT_TRUE(run.Radio().CodeEnded());
        // The loader went into RAM whole, padded to pairs too.
        EXPECT_EQ(run.Radio().LoaderBytes(), 3072);
        // After the code the link is back at 19200 bit/s on both ends.
        EXPECT_EQ(run.link.radio.RadioSpeed(), 19200u);
        EXPECT_EQ(run.link.radio.HostSpeed(), 19200u);
        EXPECT_EQ(run.report.statuses.back(), "Download finished.");
        // Each image's own bytes are counted, the last block taking them to the whole image.
        ASSERT_EQ(run.report.steps, (std::vector<std::string>{"loader", "erase", "code"}));
        EXPECT_EQ(run.report.bytes[0], std::make_pair(int64_t{3000}, int64_t{3000}));
        EXPECT_EQ(run.report.bytes[2],
                  std::make_pair(static_cast<int64_t>(c.size), static_cast<int64_t>(c.size)));
    }
}

// An image that is not whole is refused before the loader goes: the radio receives nothing,
// where it used to get the loader, an erase and blocks of 0xFF as its code.
TEST_F(CodeDownloadTest, ImagesNotWholeAreRefusedBeforeAnythingIsSent) {
    const std::string codeCut = code.substr(0, code.rfind("S7"));
    const struct {
        const char* name;
        std::string loader, code;
        std::string status;
    } cases[] = {
        {"code is a text file", loader, "meeting at nine\nbring radios\n",
         "Code image not sent: line 1: not an S-record"},
        {"code cut before its end record", loader, codeCut,
         "Code image not sent: line " +
             std::to_string(std::count(codeCut.begin(), codeCut.end(), '\n')) +
             ": no end record (S7, S8 or S9) closes the file"},
        {"code without data", loader, "S0030000FC\nS70500000000FA\n",
         "Code image not sent: line 2: no data record"},
        {"empty code", loader, "", "Code image not sent: no data record"},
        {"loader cut inside a record", loader.substr(0, 200), code, "Loader image not sent: line "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CodeDownloadRun run;
        ASSERT_TRUE(run.connected);
        EXPECT_EQ(run.Run(c.loader, c.code), kDownloadFileError);
        ASSERT_EQ(run.report.statuses.size(), 1u);
        EXPECT_EQ(run.report.statuses[0].rfind(c.status, 0), 0u) << run.report.statuses[0];
        EXPECT_EQ(run.Radio().LoaderBytes(), 0);
        EXPECT_EQ(run.Radio().BlocksReceived(), 0);
    }
}

TEST_F(CodeDownloadTest, EraseWaitFollowsTheRadioType) {
    struct Case {
        uint8_t radioType;
        bool boot;
        int64_t waitMs;
        std::string text;  // "" : the status line keeps the loader's text
    };
    const std::vector<Case> cases = {
        {1, false, 990, ""},
        {6, true, 990, ""},
        {4, false, 39600, "Erasing flash (40 seconds)..."},
        {0, false, 1980, "Erasing flash (2 seconds)..."},
        {8, false, 1980, "Erasing flash (2 seconds)..."},
        {5, false, 79200, "Erasing flash (80 seconds)..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.radioType));
        CodeDownloadRun run;
        ASSERT_TRUE(run.connected);
        const auto wallStart = std::chrono::steady_clock::now();
        ASSERT_EQ(run.Run(loader, code, c.radioType, c.boot), kDownloadOk);
        EXPECT_LT(std::chrono::steady_clock::now() - wallStart, std::chrono::seconds(5))
            << "the erase wait must run on the virtual clock";
        const int64_t erase = run.report.StepStart("erase");
        const int64_t codeStart = run.report.StepStart("code");
        EXPECT_GE(codeStart - erase, c.waitMs);
        EXPECT_LT(codeStart - erase, c.waitMs + 60);
        const auto& s = run.report.statuses;
        const auto shown = std::find(s.begin(), s.end(), c.text);
        EXPECT_EQ(shown != s.end(), !c.text.empty());
        if (shown != s.end()) {
            // The erase step's text comes once the step has begun.
            const auto step = std::find(run.report.steps.begin(), run.report.steps.end(), "erase");
            EXPECT_GE(
                static_cast<size_t>(shown - s.begin()),
                run.report.statusesBefore[static_cast<size_t>(step - run.report.steps.begin())]);
        }
        EXPECT_EQ(s[s.size() - 2],
                  c.boot ? "Downloading Bootloader code..." : "Downloading Application code...");
    }
}

TEST_F(CodeDownloadTest, FaultsGiveTheirResults) {
    struct Case {
        const char* name;
        sim::DownloadConfig radio;
        bool portMode;
        uint8_t radioType;
        int result;
        std::string status;  // last status text
        bool codeEnded;
    };
    auto with = [](auto change) {
        sim::DownloadConfig config;
        change(config);
        return config;
    };
    const std::string timedOut = kTimedOutText;
    const std::vector<Case> cases = {
        {"verify failure", with([](auto& d) { d.verifyFailAt = 0x1234; }), false, 0, 6,
         "Flash Verify failed at address: 0x00001234", false},
        {"silence, port mode", with([](auto& d) { d.silentFromBlock = 30; }), true, 0, 2,
         kCommProblemText, false},
        {"start refused twice, port mode resends", with([](auto& d) { d.startNegatives = 2; }),
         true, 0, 1, "Download finished.", true},
        {"wrong processor", with([](auto& d) { d.processorCode = 8; }), false, 1, 9,
         "Downloading Loader code...", false},
        {"right processor", with([](auto& d) { d.processorCode = 4; }), false, 1, 1,
         "Download finished.", true},
        {"erase outlasts the wait and the reply time-out",
         with([](auto& d) { d.eraseMs = 200000; }), false, 0, 4, timedOut, false},
        {"erase outlasts the wait but not the time-out", with([](auto& d) { d.eraseMs = 10000; }),
         false, 0, 1, "Download finished.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::RadioConfig config;
        config.download = c.radio;
        CodeDownloadRun run(config, c.portMode);
        ASSERT_TRUE(run.connected);
        EXPECT_EQ(run.Run(loader, code, c.radioType), c.result);
        ASSERT_FALSE(run.report.statuses.empty());
        EXPECT_EQ(run.report.statuses.back(), c.status);
        EXPECT_EQ(run.Radio().CodeEnded(), c.codeEnded);
        if (c.result == 1) {
            ByteVector expected = PatternBytes(5000, 9);
            expected.resize(5120, 0xFF);
            EXPECT_EQ(run.Radio().CodeStream(), expected);
        }
    }
}

// After a bad pair sum (02 06) the second block goes again. One radio sums the pair again (a
// fresh 02 02, compared again); another only acknowledges each resent block (02 07) and waits
// for the next. Both get at most four resends, and neither waits out a reply time-out.
TEST_F(CodeDownloadTest, ChecksumResendsSuitBothKindsOfRadio) {
    struct Case {
        const char* name;
        bool acknowledgeResends;
        int badSums;
        int result;
        int resends;   // second blocks the radio got again
        int verdicts;  // 02 06 it got
    };
    const Case cases[] = {
        {"sums again, two bad", false, 2, kDownloadOk, 2, 2},
        {"sums again, four bad", false, 4, kDownloadOk, 4, 4},
        {"sums again, five bad", false, 5, kDownloadTimedOut, 4, 5},
        {"acknowledges, one bad", true, 1, kDownloadTimedOut, 4, 1},
        {"acknowledges, five bad", true, 5, kDownloadTimedOut, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::RadioConfig config;
        config.download.badSums = c.badSums;
        config.download.acknowledgeResends = c.acknowledgeResends;
        CodeDownloadRun run(config);
        ASSERT_TRUE(run.connected);
        const int64_t start = run.link.pump.NowMs();
        EXPECT_EQ(run.Run(loader, code), c.result);
        EXPECT_EQ(run.Radio().Resends(), c.resends);
        EXPECT_EQ(run.Radio().SumsBad(), c.verdicts);
        EXPECT_EQ(run.Radio().CodeEnded(), c.result == kDownloadOk);
        if (c.result != kDownloadOk) {
            EXPECT_EQ(run.report.statuses.back(), kTimedOutText);
            EXPECT_LT(run.link.pump.NowMs() - start, timing::kDownloadReplyTimeoutMs / 10);
        }
    }
}

TEST_F(CodeDownloadTest, StopEndsTheDownloadPromptly) {
    struct Case {
        const char* name;
        int stopAtMs;
        int silentFromBlock;
    };
    // During the 80 s erase, and during a reply wait that would last 15 s.
    const std::vector<Case> cases = {{"erase", 5000, -1}, {"reply wait", 2000, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::RadioConfig config;
        config.download.silentFromBlock = c.silentFromBlock;
        CodeDownloadRun run(config);
        ASSERT_TRUE(run.connected);
        auto stop = run.link.pump.CreateTimer();
        stop->SetInterval(c.stopAtMs);
        stop->SetCallback([&] {
            run.cancel.Cancel();
            stop->Stop();
        });
        stop->Start();
        const int64_t start = run.link.pump.NowMs();
        EXPECT_EQ(run.Run(loader, code, 5), kDownloadTimedOut);
        EXPECT_LT(run.link.pump.NowMs() - start, c.stopAtMs + 500);
        EXPECT_EQ(run.report.statuses.back(), kTimedOutText);
        EXPECT_FALSE(run.Radio().CodeEnded());
    }
}

TEST_F(CodeDownloadTest, ConsoleLineIsRewrittenInPlace) {
    CodeDownloadRun run;
    ASSERT_TRUE(run.connected);
    ASSERT_EQ(run.Run(loader, code, 0, false, true, true), kDownloadOk);
    const auto& lines = run.report.console;
    ASSERT_GE(lines.size(), 4u);
    int lastPercent = -1;
    bool inCode = false;
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        ASSERT_EQ(line[0], '\r');
        if (line.find("100% complete...Done.\n") != std::string::npos) {
            EXPECT_EQ(line, inCode ? "\rDownloading Application code...100% complete...Done.\n"
                                   : "\rDownloading Loader code...100% complete...Done.\n");
            inCode = true;
            lastPercent = -1;
            continue;
        }
        EXPECT_EQ(line.find('\n'), std::string::npos);
        const std::string lead =
            inCode ? "\rDownloading Application code..." : "\rDownloading Loader code...";
        ASSERT_EQ(line.rfind(lead, 0), 0u);
        const std::string tail = line.substr(lead.size());
        ASSERT_TRUE(tail.ends_with("% complete"));
        const int percent = std::stoi(tail);
        EXPECT_GE(percent, lastPercent);
        EXPECT_LE(percent, 100);
        lastPercent = percent;
    }
    EXPECT_EQ(lines.back(), "\rDownloading Application code...100% complete...Done.\n");
}

}  // namespace
}  // namespace quillon::test
