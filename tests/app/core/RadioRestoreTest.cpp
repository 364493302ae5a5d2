#include "app/core/RadioRestore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "sim/ScenarioValue.h"
#include "tests/app/core/CodeplugBytes.h"
#include "tests/app/core/WorkflowFakes.h"
#include "tests/parms/TestImage.h"
#include "tests/sim/SimProcess.h"
#include "tests/support/InProcessLink.h"

namespace quillon::test {
namespace {

constexpr uint16_t k58 = 0x0508;
constexpr uint16_t k59 = 0x0509;
constexpr uint16_t k511 = 0x050B;

struct Rig {
    explicit Rig(sim::RadioConfig config, bool console = true)
        : link(std::move(config)), view(console) {
        std::string error;
        EXPECT_TRUE(link.Connect(error)) << error;
    }

    InProcessLink link;
    WorkflowView view;
    ProgressTimer progress{link.pump, view};
    FakeExchange::Record record;
    sim::testing::TempDir backups;
    CancelFlag cancel;
    RadioRestore restore{link.session,
                         link.pump,
                         view,
                         progress,
                         FakeExchange::Factory(record),
                         CodeplugBackup(backups.Path() + "/b"),
                         &cancel};
};

// ---- the waits after the restart ----

struct WaitCase {
    const char* name;
    sim::RestartPlan plan;
    int headTexts;     // "Updating Cinder control head..." shown
    bool conflictBox;  // the address-conflict box
    int64_t minMs;     // virtual time of the whole reset and restore
    int64_t maxMs;
};

sim::RestartPlan Plan(bool enabled, int delayMs, bool announceFirst, int heads, int headMs,
                      bool conflict) {
    sim::RestartPlan plan;
    plan.enabled = enabled;
    plan.delayMs = delayMs;
    plan.announceFirst = announceFirst;
    plan.controlHeads = heads;
    plan.headMs = headMs;
    plan.addressConflict = conflict;
    return plan;
}

TEST(RadioRestore, WaitsForTheRestartAndTheControlHeadsOnTheVirtualClock) {
    constexpr int64_t kPause = 19800;
    const WaitCase cases[] = {
        {"announced after half a second", Plan(true, 500, true, 0, 0, false), 0, false,
         500 + kPause, 500 + kPause + 600},
        {"silent restart: the whole 20 s", Plan(false, 0, true, 0, 0, false), 0, false,
         20000 + kPause, 20000 + kPause + 600},
        {"two heads, then the announcement", Plan(true, 500, false, 2, 30000, false), 2, false,
         60500 + kPause, 60500 + kPause + 600},
        {"sixteen heads, all waited for", Plan(true, 500, false, 16, 1000, false), 16, false,
         16500 + kPause, 16500 + kPause + 600},
        {"a head slower than 64 s ends the following", Plan(true, 500, false, 2, 70000, false), 1,
         false, 64500 + kPause, 64500 + kPause + 600},
        {"heads after the announcement are not waited for", Plan(true, 500, true, 3, 100, false), 0,
         false, 500 + kPause, 500 + kPause + 600},
        {"address conflict: no waiting for heads", Plan(true, 500, false, 0, 0, true), 0, true,
         500 + kPause, 500 + kPause + 600},
    };
    for (const WaitCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim::RadioConfig config;
        config.restart = c.plan;
        Rig rig(config);
        rig.record.image = RadioCodeplug(k59);
        const int64_t start = rig.link.pump.NowMs();
        rig.link.radio.Restart();
        EXPECT_EQ(rig.restore.ResetRadio(), kRestoreWritten) << rig.view.transcript;
        const int64_t took = rig.link.pump.NowMs() - start;
        EXPECT_GE(took, c.minMs);
        EXPECT_LE(took, c.maxMs);
        size_t heads = 0;
        for (size_t at = rig.view.transcript.find("Updating Cinder control head...");
             at != std::string::npos;
             at = rig.view.transcript.find("Updating Cinder control head...", at + 1)) {
            ++heads;
        }
        EXPECT_EQ(heads, static_cast<size_t>(c.headTexts));
        EXPECT_EQ(rig.view.HasBox("Quillon Code Updater"), c.conflictBox);
        EXPECT_FALSE(rig.view.HasBox("Communication Error"));
        EXPECT_EQ(rig.record.serial, "123456789ABCDEF0");
        EXPECT_EQ(rig.record.downloads, 1);
        EXPECT_EQ(rig.progress.Position(), 100);
        EXPECT_FALSE(rig.progress.Running());
    }
}

TEST(RadioRestore, CompleteConsoleTextsInOrder) {
    Rig rig(sim::RadioConfig{});
    rig.record.image = RadioCodeplug(k59);
    rig.link.radio.Restart();
    ASSERT_EQ(rig.restore.ResetRadio(), kRestoreWritten);
    const std::string backup = rig.restore.BackupPath();
    EXPECT_EQ(rig.view.transcript,
              "Resetting radio...Done.\nUploading codeplug...Done.\nCodeplug saved to " + backup +
                  "\nResetting radio and converting codeplug...Done.\nDownloading codeplug...");
}

TEST(RadioRestore, ADeadRadioIsNoLongerRespondingAfterTheWaits) {
    Rig rig(sim::RadioConfig{});
    rig.link.radio.Disconnect();
    EXPECT_EQ(rig.restore.ResetRadio(), kRestoreNoAnswer);
    EXPECT_TRUE(rig.view.HasBox("Communication Error"));
    EXPECT_EQ(rig.record.uploads, 0);
    // 20 s for the restart, 0.5 s radio information, 4 s serial number, 4 s format.
    EXPECT_EQ(rig.link.pump.NowMs() >= 28500, true) << rig.link.pump.NowMs();
}

// ---- what is written back ----

struct RestoreCase {
    const char* name;
    uint16_t codeplug;                   // version of the codeplug the radio holds
    std::array<uint8_t, 2> radioFormat;  // what the new firmware expects
    int uploadResult;
    int downloadResult;
    const char* silentCode;  // a query the radio leaves unanswered
    bool backupBlocked;
    int result;
    bool writes;  // the written bytes must be the plan's
};

TEST(RadioRestore, WritesBackOnlyASoundConversion) {
    // clang-format off
    const RestoreCase cases[] = {
        // name, codeplug, radio format, upload, download, silent query, backup blocked, result, writes
        {"5.9 to 5.11", k59, {5, 11}, 1, 1, nullptr, false, kRestoreWritten, true},
        {"5.8 to 5.11", k58, {5, 11}, 1, 1, nullptr, false, kRestoreWritten, true},
        {"5.8 kept as 5.8", k58, {5, 8}, 1, 1, nullptr, false, kRestoreWritten, true},
        {"radio older than the codeplug", k511, {5, 9}, 1, 1, nullptr, false, kRestoreNotWrittenBack, false},
        {"radio expects 5.7", k59, {5, 7}, 1, 1, nullptr, false, kRestoreNotConvertible, false},
        {"upload fails", k59, {5, 11}, -1, 1, nullptr, false, kRestoreUploadFailed, false},
        {"download fails", k59, {5, 11}, 1, -1, nullptr, false, kRestoreDownloadFailed, false},
        {"serial number unreadable", k59, {5, 11}, 1, 1, "04 04", false, kRestoreDownloadFailed, false},
        {"backup cannot be saved", k59, {5, 11}, 1, 1, nullptr, true, kRestoreNotWrittenBack, false},
    };
    // clang-format on
    for (const RestoreCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim::RadioConfig config;
        config.codeplugFormat = c.radioFormat;
        if (c.silentCode != nullptr) {
            sim::FaultRule silent;
            silent.code = *sim::ParseFaultCode(c.silentCode);
            silent.silent = true;
            config.faults.push_back(silent);
        }
        Rig rig(config);
        rig.record.image = RadioCodeplug(c.codeplug);
        rig.record.uploadResult = c.uploadResult;
        rig.record.downloadResult = c.downloadResult;
        if (c.backupBlocked) {
            std::ofstream(rig.backups.Path() + "/b") << "a file where the folder should be";
        }
        const bool hardKey = true;
        EXPECT_EQ(rig.restore.RestoreCodeplug(hardKey), c.result) << rig.view.transcript;
        if (c.writes) {
            const uint8_t target =
                CodeplugFormat::FormatIndexOf(c.radioFormat[0], c.radioFormat[1]);
            EXPECT_EQ(rig.record.written, WriteBack(rig.record.image, target, hardKey));
            // The backup holds the bytes exactly as the radio sent them.
            std::ifstream backup(rig.restore.BackupPath(), std::ios::binary);
            const std::vector<uint8_t> saved((std::istreambuf_iterator<char>(backup)), {});
            EXPECT_EQ(saved, rig.record.image);
        } else if (c.result != kRestoreDownloadFailed || c.downloadResult > 0) {
            EXPECT_EQ(rig.record.downloads, 0);
        }
    }
}

TEST(RadioRestore, AnUploadShorterThanTheImageWritesNothing) {
    Rig rig(sim::RadioConfig{});
    rig.record.image = RadioCodeplug(k59);
    rig.record.image.resize(rig.record.image.size() - 16);  // the end of the trailer is missing
    EXPECT_EQ(rig.restore.RestoreCodeplug(false), kRestoreUploadFailed);
    EXPECT_EQ(rig.record.downloads, 0);
    EXPECT_NE(rig.view.transcript.find("nothing was written back"), std::string::npos);
}

TEST(RadioRestore, AnOlderTargetFormatWarnsAndWritesNothing) {
    for (bool console : {true, false}) {
        sim::RadioConfig config;
        config.codeplugFormat = {5, 10};
        Rig rig(config, console);
        rig.record.image = RadioCodeplug(k511);
        EXPECT_EQ(rig.restore.RestoreCodeplug(false), kRestoreNotWrittenBack);
        EXPECT_EQ(rig.record.downloads, 0);
        EXPECT_EQ(rig.restore.BackupPath(), "");
        if (console) {
            EXPECT_NE(rig.view.transcript.find(RadioRestore::kBackwardsText), std::string::npos);
            EXPECT_TRUE(rig.view.boxes.empty());
        } else {
            ASSERT_EQ(rig.view.boxes.size(), 1u);
            EXPECT_EQ(rig.view.boxes[0].caption, "Warning");
            EXPECT_EQ(rig.view.boxes[0].text, RadioRestore::kBackwardsText);
        }
    }
}

TEST(RadioRestore, AnImageFillingTheWholeBufferIsTurnedWhole) {
    // A 5.8 codeplug whose trailer lies beyond the first half of the buffer: every word must
    // reach the radio as it came, not only the first 32,768 bytes.
    std::vector<uint8_t> image = RadioCodeplug(k58, 160);
    ASSERT_GT(image.size(), 32768u);
    sim::RadioConfig config;
    config.codeplugFormat = {5, 8};
    Rig rig(config);
    rig.record.image = image;
    ASSERT_EQ(rig.restore.RestoreCodeplug(false), kRestoreWritten);
    EXPECT_EQ(rig.record.written, image);
}

TEST(RadioRestore, RestartMessagesDuringTheQueriesArePassedOver) {
    sim::RadioConfig config;
    config.restart = Plan(true, 0, true, 3, 1, false);
    Rig rig(config);
    rig.record.image = RadioCodeplug(k59);
    rig.link.radio.Restart();  // 07 25 and three 09 03 arrive while the queries are asked
    EXPECT_EQ(rig.restore.RestoreCodeplug(false), kRestoreWritten);
    EXPECT_EQ(rig.record.serial, "123456789ABCDEF0");
}

TEST(RadioRestore, AQueryAfterATimeOutStillAsks) {
    sim::RadioConfig config;
    sim::FaultRule once;
    once.code = *sim::ParseFaultCode("04 04");
    once.silent = true;
    once.times = 1;
    config.faults.push_back(once);
    Rig rig(config);
    EXPECT_EQ(rig.restore.ReadRadioSerial(), "");  // times out, Active cleared
    EXPECT_FALSE(rig.link.session.Active());
    EXPECT_EQ(rig.restore.ReadRadioSerial(), "123456789ABCDEF0");
}

TEST(RadioRestore, StopDuringThePauseWritesNothing) {
    Rig rig(sim::RadioConfig{});
    rig.record.image = RadioCodeplug(k59);
    auto timer = rig.link.pump.CreateTimer();
    timer->SetInterval(10000);
    timer->SetCallback([&] {
        rig.cancel.Cancel();
        timer->Stop();
    });
    timer->Start();
    EXPECT_EQ(rig.restore.RestoreCodeplug(false), kRestoreNotWrittenBack);
    EXPECT_EQ(rig.record.downloads, 0);
}

}  // namespace
}  // namespace quillon::test
