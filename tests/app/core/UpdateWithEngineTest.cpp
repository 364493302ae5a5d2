// The update sequence with the real download engine against the in-process virtual radio, on
// the virtual clock: the long waits of a whole update, and Stop in the middle of a download.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "app/core/UpdateController.h"
#include "download/CodeDownload.h"
#include "tests/app/core/CodeplugBytes.h"
#include "tests/app/core/WorkflowFakes.h"
#include "tests/sim/SimProcess.h"
#include "tests/support/InProcessLink.h"
#include "tests/support/SRecordText.h"

namespace quillon::test {
namespace {

// Update steps whose download is the real engine, with images written by the extraction.
class EngineSteps : public FakeSteps {
public:
    EngineSteps(CommSession& link, EventPump& pump, uint8_t radioType)
        : link_(link), pump_(pump), radioType_(radioType) {}
    bool ExtractEmbeddedFiles(bool boot, bool useBootTwo, std::string& loader,
                              std::string& code) override {
        calls.push_back(boot ? "extract-boot" : "extract-app");
        (void)useBootTwo;
        loader = "Loader.hex";
        code = "Code.hex";
        std::ofstream(loader) << SRecords(4096, 1);
        std::ofstream(code) << SRecords(codeBytes, 2);
        return true;
    }
    int DownloadCode(std::istream& loader, std::istream& code, ProgressReport& report, bool boot,
                     bool consoleProgress, const CancelFlag* cancel) override {
        calls.push_back("download");
        return quillon::DownloadCode(link_, loader, code, report, radioType_, boot, false,
                                     consoleProgress, cancel, pump_);
    }
    size_t codeBytes = 32768;

private:
    CommSession& link_;
    EventPump& pump_;
    uint8_t radioType_;
};

struct EngineRig {
    EngineRig(bool console, uint8_t radioType, sim::RadioConfig config = {})
        : link(std::move(config)), view(console), steps(link.session, link.pump, radioType) {
        std::string error;
        EXPECT_TRUE(link.Connect(error));
        record.image = RadioCodeplug(0x0509);
        UpdateBuild build;
        build.radioType = radioType;
        controller = std::make_unique<UpdateController>(link.session, link.pump, view, steps, build,
                                                        FakeExchange::Factory(record),
                                                        CodeplugBackup(folder.Path() + "/backups"));
        link.session.SetCancelFlag(&controller->Cancel());
    }
    OwnWorkingFolder folder;
    InProcessLink link;
    WorkflowView view;
    EngineSteps steps;
    FakeExchange::Record record;
    std::unique_ptr<UpdateController> controller;
};

TEST(UpdateWithEngine, TheLongWaitsOfAWholeUpdateOnTheVirtualClock) {
    const struct {
        uint8_t radioType;
        int64_t eraseMs;
    } rows[] = {{5, 79200}, {4, 39600}, {0, 1980}};
    for (const auto& row : rows) {
        SCOPED_TRACE(int{row.radioType});
        EngineRig rig(true, row.radioType);
        const int64_t start = rig.link.pump.NowMs();
        rig.controller->RunAutoBootUpdate();
        EXPECT_EQ(rig.controller->ReturnCode(), 0) << rig.view.transcript;
        const int64_t took = rig.link.pump.NowMs() - start;
        // The erase, the restart after half a second and the 19.8 s pause, plus the transfer.
        EXPECT_GE(took, row.eraseMs + 500 + 19800);
        EXPECT_LT(took, row.eraseMs + 500 + 19800 + 30000);
        EXPECT_EQ(rig.link.radio.Radio().Restarts(), 1);
        EXPECT_EQ(rig.record.downloads, 1);
        EXPECT_FALSE(FileExists("Loader.hex") || FileExists("Code.hex"));
    }
}

TEST(UpdateWithEngine, StopInTheMiddleOfTheDownload) {
    EngineRig rig(false, 0);
    rig.steps.codeBytes = 262144;
    auto stop = rig.link.pump.CreateTimer();
    stop->SetInterval(5000);  // well inside the code image
    stop->SetCallback([&] {
        stop->Stop();
        EXPECT_TRUE(FileExists("Code.hex"));
        rig.controller->Start(false);  // the Start button reads Stop
    });
    stop->Start();
    rig.controller->Start(false);
    EXPECT_FALSE(rig.controller->Running());
    EXPECT_EQ(rig.link.radio.Radio().Restarts(), 0);
    EXPECT_EQ(rig.record.uploads, 0);
    EXPECT_EQ(rig.view.transcript.find("Resetting"), std::string::npos);
    EXPECT_FALSE(FileExists("Loader.hex") || FileExists("Code.hex"));
    EXPECT_LT(rig.link.pump.NowMs(), 20000);
}

}  // namespace
}  // namespace quillon::test
