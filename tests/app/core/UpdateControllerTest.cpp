#include "app/core/UpdateController.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/app/core/CodeplugBytes.h"
#include "tests/app/core/WorkflowFakes.h"
#include "tests/sim/SimProcess.h"
#include "tests/support/InProcessLink.h"

namespace quillon::test {
namespace {

// The controller with scripted steps in a folder of its own, the in-process radio behind the
// link (restarting after the application code), and a codeplug exchange serving a 5.9 image.
struct ControllerRig {
    explicit ControllerRig(bool console, UpdateBuild build = {}, sim::RadioConfig config = {})
        : link(std::move(config)), view(console) {
        std::string error;
        EXPECT_TRUE(link.Connect(error));
        record.image = RadioCodeplug(0x0509);
        steps.afterCodeDownload = [this] { link.radio.Restart(); };
        controller = std::make_unique<UpdateController>(link.session, link.pump, view, steps, build,
                                                        FakeExchange::Factory(record),
                                                        CodeplugBackup(folder.Path() + "/backups"));
    }

    bool JoinedFilesLeft() const { return FileExists("Loader.hex") || FileExists("Code.hex"); }

    OwnWorkingFolder folder;
    InProcessLink link;
    WorkflowView view;
    FakeSteps steps;
    FakeExchange::Record record;
    std::unique_ptr<UpdateController> controller;
};

const std::string kHead =
    "\nExtracting embedded files......Done.\nChecking target radio......Done.\n";
const std::string kLoader = "\rDownloading Loader code...100% complete...Done.\n";
const std::string kApplication = "\rDownloading Application code...100% complete...Done.\n";

TEST(UpdateController, ACompleteConsoleRunShowsEveryStepInOrder) {
    ControllerRig rig(true);
    rig.controller->RunAutoBootUpdate();
    EXPECT_EQ(rig.controller->ReturnCode(), 0);
    const std::string backup = rig.controller->Restore().BackupPath();
    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(rig.view.transcript,
              kHead + kLoader + kApplication +
                  "Resetting radio...Done.\nUploading codeplug...Done.\nCodeplug saved to " +
                  backup +
                  "\nResetting radio and converting codeplug...Done.\nDownloading codeplug..."
                  "Done.");
    EXPECT_FALSE(rig.JoinedFilesLeft());
    EXPECT_FALSE(rig.controller->Running());
    EXPECT_EQ(rig.record.downloads, 1);
}

struct AutoCase {
    const char* name;
    std::function<void(FakeSteps&, FakeExchange::Record&, sim::RadioConfig&)> setUp;
    int returnCode;
    std::string transcriptEnd;  // how the console ends
    bool resets;                // the codeplug step ran
};

TEST(UpdateController, AutoBootOutcomesAndReturnCodes) {
    const AutoCase cases[] = {
        {"no connection", [](FakeSteps& s, auto&, auto&) { s.connect = false; }, 1,
         "\nExtracting embedded files......Error.", false},
        {"boot code out of date", [](FakeSteps& s, auto&, auto&) { s.upgrade = true; }, 2,
         "\rDownloading Bootloader code...100% complete...Done.\n", false},
        {"boot upgrade fails",
         [](FakeSteps& s, auto&, auto&) {
             s.upgrade = true;
             s.download = 4;
         },
         1, "\nError.", false},
        {"major boot mismatch", [](FakeSteps& s, auto&, auto&) { s.majorMismatch = true; }, 1,
         "Error: the major boot versions of the radio and file are different.", false},
        {"boot version unreadable", [](FakeSteps& s, auto&, auto&) { s.commError = true; }, 1,
         "Communication error while trying to retrieve boot version.", false},
        {"a mobile on a portable build", [](FakeSteps& s, auto&, auto&) { s.formMismatch = true; },
         1,
         "This Quillon Code Updater is intended for a portable radio, and\ncannot be used with "
         "the connected mobile radio.",
         false},
        {"extraction fails", [](FakeSteps& s, auto&, auto&) { s.extract = false; }, 1, "\nError.",
         false},
        {"wrong target", [](FakeSteps& s, auto&, auto&) { s.target = false; }, 1, "\nError.",
         false},
        {"download fails", [](FakeSteps& s, auto&, auto&) { s.download = 2; }, 1, "\nCOM error.",
         false},
        {"codeplug upload fails",
         [](FakeSteps&, FakeExchange::Record& r, auto&) { r.uploadResult = -1; }, 3,
         "An error occurred while uploading the codeplug.", true},
        {"codeplug download fails",
         [](FakeSteps&, FakeExchange::Record& r, auto&) { r.downloadResult = -1; }, 3,
         "An error occurred while downloading the codeplug.", true},
        {"radio expects 5.7",
         [](FakeSteps&, auto&, sim::RadioConfig& c) {
             c.restart.codeplugFormat = std::array<uint8_t, 2>{5, 7};
         },
         3, "Uploading codeplug...Done.", true},
        {"radio expects an older format",
         [](FakeSteps&, auto&, sim::RadioConfig& c) {
             c.restart.codeplugFormat = std::array<uint8_t, 2>{5, 8};
         },
         3, "The codeplug was not written back.", true},
        {"radio silent after the restart",
         [](FakeSteps&, auto&, sim::RadioConfig& c) {
             sim::FaultRule silent;
             silent.code = {0x04};
             silent.silent = true;
             c.faults.push_back(silent);
         },
         1, "The radio is no longer responding.", true},
    };
    for (const AutoCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSteps scripted;
        FakeExchange::Record record;
        sim::RadioConfig config;
        c.setUp(scripted, record, config);
        ControllerRig rig(true, UpdateBuild{}, config);
        rig.steps.connect = scripted.connect;
        rig.steps.upgrade = scripted.upgrade;
        rig.steps.majorMismatch = scripted.majorMismatch;
        rig.steps.commError = scripted.commError;
        rig.steps.formMismatch = scripted.formMismatch;
        rig.steps.extract = scripted.extract;
        rig.steps.target = scripted.target;
        rig.steps.download = scripted.download;
        rig.record.uploadResult = record.uploadResult;
        rig.record.downloadResult = record.downloadResult;

        std::vector<UpdateRecord> finished;
        rig.controller->SetRunFinished([&](const UpdateRecord& r) { finished.push_back(r); });
        rig.controller->RunAutoBootUpdate();
        EXPECT_EQ(rig.controller->ReturnCode(), c.returnCode) << rig.view.transcript;
        // Every run hands on one record with its code; a failed one says why.
        ASSERT_EQ(finished.size(), 1u);
        EXPECT_EQ(finished[0].returnCode, c.returnCode);
        EXPECT_EQ(finished[0].reason.empty(), c.returnCode == 0) << finished[0].reason;
        EXPECT_EQ(finished[0].FirstFailure() != nullptr, c.returnCode == 1 || c.returnCode == 3);
        const std::string& t = rig.view.transcript;
        EXPECT_TRUE(
            t.size() >= c.transcriptEnd.size() &&
            t.compare(t.size() - c.transcriptEnd.size(), std::string::npos, c.transcriptEnd) == 0)
            << t;
        EXPECT_EQ(t.find("Resetting radio...") != std::string::npos, c.resets);
        EXPECT_FALSE(rig.JoinedFilesLeft());
        EXPECT_FALSE(rig.controller->Running());
    }
}

TEST(UpdateController, MapsEveryResetResult) {
    const struct {
        int result;
        const char* text;
        int returnCode;
        bool box;
    } rows[] = {
        {0, "The radio is no longer responding.", 1, false},
        {1, "Done.", 3, true},
        {2, "The radio is no longer responding.", 1, false},
        {3, "Done.", 0, false},
        {4, "An error occurred while uploading the codeplug.", 3, false},
        {5, "An error occurred while downloading the codeplug.", 3, false},
        {6, "The codeplug was not written back.", 3, false},
        {-1, "The radio is no longer responding.", 1, false},
    };
    for (const auto& row : rows) {
        const ResetOutcome outcome = UpdateController::MapResetResult(row.result);
        EXPECT_STREQ(outcome.text, row.text) << row.result;
        EXPECT_EQ(outcome.returnCode, row.returnCode) << row.result;
        EXPECT_EQ(outcome.formatBox, row.box) << row.result;
    }
}

TEST(UpdateController, TheAccessCodeIsAskedUntilAcceptedOnce) {
    UpdateBuild manual;  // series 5, Application/Boot: the user chooses
    manual.series = 5;
    const struct {
        const char* typed;
        bool confirm;
        bool boot;
        bool accepted;
    } rows[] = {
        {"pelican", true, false, true},   {" pelican\t", true, false, true},
        {"PELICAN", true, false, false},  {"pelican", false, false, false},
        {"marigold", true, true, true},   {"pelican", true, true, false},
        {"marigold", true, false, false}, {"", true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        ControllerRig rig(false, manual);
        rig.view.typed = row.typed;
        rig.view.confirm = row.confirm;
        rig.controller->Start(row.boot);
        EXPECT_EQ(rig.controller->PasswordAccepted(), row.accepted);
        EXPECT_EQ(rig.steps.calls.empty(), !row.accepted);
        if (row.accepted) {
            rig.view.typed = "wrong";
            rig.controller->Start(false);
            EXPECT_EQ(rig.view.passwordAsks, 1);
            EXPECT_EQ(std::count(rig.steps.calls.begin(), rig.steps.calls.end(), "connect"), 2);
        }
    }
}

TEST(UpdateController, StopDuringTheDownloadSkipsTheCodeplugAndRemovesTheFiles) {
    for (bool autoBoot : {true, false}) {
        SCOPED_TRACE(autoBoot ? "automatic boot" : "manual");
        UpdateBuild build;
        build.series = autoBoot ? 6 : 5;
        ControllerRig rig(false, build);
        bool filesDuringDownload = false;
        bool cancelledByStop = false;
        rig.steps.duringDownload = [&] {
            filesDuringDownload = rig.JoinedFilesLeft();
            rig.controller->Start(false);  // the Start button reads Stop now
            cancelledByStop = rig.controller->Cancel().Cancelled();
        };
        rig.controller->Start(false);
        EXPECT_TRUE(filesDuringDownload);
        EXPECT_FALSE(rig.JoinedFilesLeft());
        EXPECT_TRUE(cancelledByStop);
        // Cleared once the run has unwound, so Retrieve and Start work at once.
        EXPECT_FALSE(rig.controller->Cancel().Cancelled());
        EXPECT_EQ(rig.record.uploads, 0);
        EXPECT_FALSE(rig.controller->Running());
        EXPECT_EQ(rig.view.runningMarks, (std::vector<bool>{true, false, false}));
        EXPECT_EQ(rig.steps.calls.back(), "close");
    }
}

TEST(UpdateController, ManualBootAndDspDownloadsNeverTouchTheCodeplug) {
    const struct {
        const char* name;
        uint8_t upgradeType;
        bool bootSelected;
        const char* download;
    } rows[] = {
        {"boot selected", 3, true, "download"},
        {"boot build", 1, false, "download"},
        {"dsp build", 2, false, "download-dsp"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UpdateBuild build;
        build.series = 5;
        build.upgradeType = row.upgradeType;
        ControllerRig rig(false, build);
        rig.view.typed = row.upgradeType == 2 ? "pelican" : "marigold";
        int runs = 0;
        rig.controller->SetRunFinished([&runs](const UpdateRecord& r) {
            ++runs;
            EXPECT_FALSE(r.console);
            EXPECT_EQ(r.returnCode, 0) << r.reason;
            ASSERT_FALSE(r.steps.empty());
            EXPECT_NE(r.steps.back().name.find("download"), std::string::npos);
        });
        rig.controller->Start(row.bootSelected);
        EXPECT_EQ(runs, 1);
        EXPECT_NE(std::find(rig.steps.calls.begin(), rig.steps.calls.end(), row.download),
                  rig.steps.calls.end());
        EXPECT_EQ(rig.record.uploads, 0);
        EXPECT_FALSE(rig.JoinedFilesLeft());
    }
}

TEST(UpdateController, AProcessorMismatchNamesTheOtherUpdater) {
    for (bool is416 : {true, false}) {
        UpdateBuild build;
        build.series = 5;
        build.processor416 = is416;
        ControllerRig rig(false, build);
        rig.steps.download = 9;
        rig.controller->Start(false);
        ASSERT_EQ(rig.view.boxes.size(), 1u);
        EXPECT_NE(rig.view.boxes[0].text.find(is416 ? "with 416\nprocessors" : "with 816\n"),
                  std::string::npos);
        EXPECT_EQ(rig.view.LastStatus(), "Idle");
        EXPECT_EQ(rig.view.lastProgress, 0);
    }
}

TEST(UpdateController, ClosingDuringARunAsksAndStopsOnlyOnYes) {
    ControllerRig rig(false);
    EXPECT_TRUE(rig.controller->CanClose());  // idle: no question
    EXPECT_TRUE(rig.view.boxes.empty());
    rig.controller->EnterRunningState();
    rig.view.answer = MessageAnswer::No;
    EXPECT_FALSE(rig.controller->CanClose());
    EXPECT_TRUE(rig.controller->Running());
    rig.view.answer = MessageAnswer::Yes;
    EXPECT_TRUE(rig.controller->CanClose());
    EXPECT_FALSE(rig.controller->Running());
    EXPECT_EQ(rig.view.boxes.back().caption, "Confirm");
}

}  // namespace
}  // namespace quillon::test
