#include "tools/quillon-tool/TerminalProgressBar.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "serial/VirtualEventPump.h"

namespace quillon::tool {
namespace {

// A download as the engine reports it: the loader in full, the erase wait, and the code
// stopped a block into the image. `clock` moves 250 ms between reports.
void ReportDownload(TerminalProgressBar& bar, VirtualEventPump& clock) {
    bar.Status("Preparing to download ...");
    bar.BeginStep("loader", 1564);  // the engine's own units, which the bar does not show
    bar.Status("Downloading Loader code...");
    for (const int64_t done : {1280, 2560, 3000}) {
        clock.Advance(250);
        bar.Bytes(done, 3000);
        bar.Advance(done / 2, 1564);
    }
    bar.BeginStep("erase", 500);
    bar.Status("Erasing flash (2 seconds)...");
    for (const int64_t done : {250, 500}) {
        clock.Advance(250);
        bar.Advance(done, 500);
    }
    bar.BeginStep("code", 70000);
    clock.Advance(250);
    bar.Bytes(128, 262144);
    bar.Status("Flash Verify failed at address: 0x00000080");
    bar.Finish();
}

TEST(TerminalProgressBar, OffATerminalEachStepIsOneLineAfterItsText) {
    VirtualEventPump clock;
    std::ostringstream out;
    {
        TerminalProgressBar bar(clock, out, false);
        ReportDownload(bar, clock);
        EXPECT_EQ(bar.LastStatus(), "Flash Verify failed at address: 0x00000080");
    }
    EXPECT_EQ(out.str(),
              "Preparing to download ...\n"
              "Downloading Loader code...\n"
              "loader: 3000 bytes in 0.8 s, 4.0 kB/s\n"
              "Erasing flash (2 seconds)...\n"
              "erase: 0.5 s\n"
              "Flash Verify failed at address: 0x00000080\n"
              "code: stopped at 0%, 128 of 262144 bytes in 0.2 s, 0.5 kB/s\n");
}

TEST(TerminalProgressBar, OnATerminalTheBarCountsImageBytesAndEndsAtTheirTotal) {
    VirtualEventPump clock;
    std::ostringstream out;
    TerminalProgressBar bar(clock, out, true);
    ReportDownload(bar, clock);
    std::string text = out.str();
    for (size_t at; (at = text.find("\033[K")) != std::string::npos;) {
        text.erase(at, 3);
    }
    const std::string loaderDone =
        "\rloader   [##############################] 100%  3000/3000 B  4.0 kB/s  in 0.8 s\n";
    EXPECT_NE(text.find("Downloading Loader code...\n\rloader   [############"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\rloader   [#########################     ]  "
                        "85%  2560/3000 B  5.1 kB/s  0:01 left"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(loaderDone + "Erasing flash (2 seconds)...\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\rerase    [##############################] 100%  in 0.5 s\n"),
              std::string::npos)
        << text;
    // The failure's text goes on a line of its own below the bar, which stays where it stopped.
    EXPECT_NE(text.find("0%  128/262144 B  0.5 kB/s  8:32 left\n"
                        "Flash Verify failed at address: 0x00000080\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.back(), '\n');
}

TEST(TerminalProgressBar, OnATerminalTheBarIsDrawnAtMostEveryRedrawInterval) {
    VirtualEventPump clock;
    std::ostringstream out;
    TerminalProgressBar bar(clock, out, true);
    bar.BeginStep("upload", 0);
    for (int64_t done = 128; done <= 12800; done += 128) {
        clock.Advance(10);
        bar.Bytes(done, 12800);
    }
    const std::string text = out.str();
    size_t frames = 0;
    for (const char c : text) {
        frames += c == '\r' ? 1 : 0;
    }
    EXPECT_EQ(frames, 11u);  // the first, one per 100 ms, and the last
    EXPECT_NE(text.find("100%  12800/12800 B  12.8 kB/s  in 1.0 s\033[K\n"), std::string::npos)
        << text;
}

}  // namespace
}  // namespace quillon::tool
