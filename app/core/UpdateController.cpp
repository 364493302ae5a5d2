#include "app/core/UpdateController.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "app/core/PasswordEntry.h"
#include "app/core/ServiceAccessCode.h"
#include "link/ProtocolTiming.h"

namespace quillon {

namespace {

constexpr char kIdle[] = "Idle";
constexpr char kExtracting[] = "Extracting embedded files...";
constexpr char kCheckingTarget[] = "Checking target radio...";
constexpr int kProcessorMismatch = 9;
constexpr uint8_t kUpgradeTypeDsp = 2;

}  // namespace

// What the download engines report goes to the status line, the bar and, in console mode, the
// console.
class UpdateController::DownloadReport : public ProgressReport {
public:
    explicit DownloadReport(UpdateController& owner) : owner_(owner) {}
    void Advance(int64_t done, int64_t total) override {
        if (total > 0) {
            owner_.view_.SetProgress(
                static_cast<int>(std::clamp<int64_t>(done, 0, total) * 100 / total), 100);
        }
    }
    void Status(const std::string& text) override { owner_.StatusCallback(text); }
    void Console(const std::string& text) override { owner_.ConsoleWriter(text); }

private:
    UpdateController& owner_;
};

UpdateController::UpdateController(CommSession& link, EventPump& pump, UpdaterView& view,
                                   UpdateSteps& steps, UpdateBuild build,
                                   CodeplugExchangeFactory exchange, CodeplugBackup backup)
    : link_(link),
      pump_(pump),
      view_(view),
      steps_(steps),
      build_(build),
      progress_(pump, view),
      restore_(link, pump, view, progress_, std::move(exchange), std::move(backup), &cancel_),
      m_AutoBootMode(build.AutoBootMode()) {
    steps_.SetRecord(&record_);
    restore_.SetRecord(&record_);
}

UpdateController::~UpdateController() {
    steps_.SetRecord(nullptr);
}

void UpdateController::FinishRecord(int code) {
    if (code != 0 && record_.reason.empty() && cancel_.Cancelled()) {
        record_.reason = "the update was stopped";
    }
    record_.Finish(code);
    if (code == 2 && record_.reason.empty()) {
        std::string from;
        std::string to;
        for (const auto& [name, value] : record_.versionsBefore) {
            from = name == UpdateRecord::kBootVersion ? value : from;
        }
        for (const auto& [name, value] : record_.versionsAfter) {
            to = name == UpdateRecord::kBootVersion ? value : to;
        }
        record_.reason = from.empty() || to.empty()
                             ? "the radio's boot code was out of date and has been upgraded"
                             : "the radio's boot code " + from +
                                   " was out of date and has been "
                                   "upgraded to " +
                                   to;
    }
    if (runFinished_) {
        runFinished_(record_);
    }
}

void UpdateController::SetReturnCode(int value) {
    returnCode_ = value;
    if (returnCodeSink_) {
        returnCodeSink_(value);
    }
}

void UpdateController::ConsoleWriter(const std::string& text) {
    if (view_.ConsoleMode()) {
        view_.WriteConsole(text);
    }
}

void UpdateController::SayStep(const std::string& text) {
    if (view_.ConsoleMode()) {
        view_.WriteConsole("\n" + text + "...");
    } else {
        view_.SetStatus(text);
    }
}

ResetOutcome UpdateController::MapResetResult(int result) {
    switch (result) {
        case kRestoreNotConvertible:
            return {"Done.", 3, true};
        case kRestoreWritten:
            return {"Done.", 0, false};
        case kRestoreUploadFailed:
            return {"An error occurred while uploading the codeplug.", 3, false};
        case kRestoreDownloadFailed:
            return {"An error occurred while downloading the codeplug.", 3, false};
        case kRestoreNotWrittenBack:
            return {"The codeplug was not written back.", 3, false};
        default:
            return {"The radio is no longer responding.", 1, false};
    }
}

bool UpdateController::AccessCodeAccepted(const std::string& typed, bool bootRequested) const {
    PasswordEntry entry;
    entry.SetText(typed);
    entry.Accept();  // the caller asks only after OK
    return ServiceAccessCode::Accepts(entry, bootRequested, m_AutoBootMode);
}

void UpdateController::EnterRunningState() {
    m_Running = true;
    record_.Begin(view_.ConsoleMode());
    cancel_.Reset();
    if (StopRequested()) {
        cancel_.Cancel();
    }
    if (!view_.ConsoleMode()) {
        view_.ShowRunningState(true);
    }
}

void UpdateController::LeaveRunningState(bool deleteFiles) {
    m_Running = false;
    link_.SetActive(false);
    pump_.SleepMs(timing::kStopSettleMs);
    if (deleteFiles) {
        DeleteJoinedFiles();
    }
    if (!view_.ConsoleMode()) {
        view_.ShowRunningState(false);
    }
}

std::string UpdateController::WithBackupPath(const std::string& text) const {
    // The step's own line ("Codeplug saved to ...") is replaced at once by the next one; the
    // final status keeps the path where the user can read it.
    const std::string& path = restore_.BackupPath();
    return path.empty() ? text : text + "  Codeplug saved to " + path;
}

void UpdateController::DeleteJoinedFiles() {
    for (const std::string* name : {&m_LoaderFileName, &m_CodeFileName}) {
        if (!name->empty()) {
            std::remove(name->c_str());  // failures ignored
        }
    }
}

void UpdateController::Stop() {
    cancel_.Cancel();
    LeaveRunningState(true);
}

void UpdateController::Start(bool bootSelected) {
    const bool bootRequested = build_.upgradeType == 1 || (build_.upgradeType == 3 && bootSelected);
    if (m_Running) {
        Stop();
        view_.SetProgress(0, 100);
        return;
    }
    if (!m_PasswordAccepted) {
        std::string typed;
        if (!view_.AskPassword(typed) || !AccessCodeAccepted(typed, bootRequested)) {
            return;
        }
        m_PasswordAccepted = true;
    }
    if (m_AutoBootMode) {
        RunAutoBootUpdate();
    } else {
        RunManualUpdate(bootRequested, build_.upgradeType == 3 && bootSelected);
    }
    steps_.CloseLink();
    // A Stop has done its work once the run has unwound: Retrieve and Start work again.
    if (!StopRequested()) {
        cancel_.Reset();
    }
}

bool UpdateController::CanClose() {
    if (!m_Running) {
        return true;
    }
    const MessageAnswer answer =
        view_.ShowMessage("Update in progress.  Are you sure you want to quit?", "Confirm",
                          MessageIcon::Question, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes) {
        return false;
    }
    Stop();
    return true;
}

int UpdateController::RunDownload(bool boot, bool dsp, bool consoleProgress) {
    std::ifstream loader(m_LoaderFileName);
    DownloadReport report(*this);
    if (dsp) {
        std::ifstream code(m_CodeFileName, std::ios::binary);
        return steps_.DownloadDsp(loader, code, report, &cancel_);
    }
    std::ifstream code(m_CodeFileName);
    return steps_.DownloadCode(loader, code, report, boot, consoleProgress, &cancel_);
}

void UpdateController::RunManualUpdate(bool boot, bool bootSelected) {
    bool extracted = false;
    const bool dsp = build_.upgradeType == kUpgradeTypeDsp;
    int result = 1;
    int code = 1;  // the run's outcome as the command-line mode would return it
    EnterRunningState();
    view_.SetStatus(kExtracting);
    do {
        if (!steps_.ConnectToRadio(false)) {
            record_.Fail("connect");
            view_.SetStatus(kIdle);
            break;
        }
        if (boot && !steps_.CheckBootVersion(m_UseBootTwo)) {
            record_.Fail("boot check");
            break;
        }
        if (!steps_.ExtractEmbeddedFiles(bootSelected, m_UseBootTwo, m_LoaderFileName,
                                         m_CodeFileName)) {
            record_.Fail("extract");
            view_.SetStatus(kIdle);
            break;
        }
        extracted = true;
        view_.SetStatus(kCheckingTarget);
        if (!steps_.CheckTargetRadio()) {
            record_.Fail("target check");
            break;
        }
        result = RunDownload(boot, dsp, false);
        const char* download = dsp    ? "DSP download"
                               : boot ? "boot download"
                                      : "application download";
        if (m_Running && result == 1) {
            record_.AddStep(download, UpdateRecord::Result::Done);
        } else {
            record_.Fail(download,
                         m_Running ? "download result " + std::to_string(result) : "stopped");
        }
        if (boot || dsp || !m_Running || result != 1) {
            code = m_Running && result == 1 ? 0 : 1;
            if (result == kProcessorMismatch) {
                view_.ShowMessage(
                    build_.processor416
                        ? "This version of Quillon Code Updater is meant for Series 1 radios with "
                          "416\nprocessors.  Please acquire the updater for Series 1 radios with "
                          "816 processors."
                        : "This version of Quillon Code Updater is meant for Series 1 radios with "
                          "816\nprocessors.  Please acquire the updater for Series 1 radios with "
                          "416 processors.",
                    kTitle, MessageIcon::Error);
                view_.SetStatus(kIdle);
                view_.SetProgress(0, 100);
            }
            break;
        }
        const int r = ResetRadio();
        const ResetOutcome outcome = MapResetResult(r);
        code = outcome.returnCode;
        view_.SetStatus(WithBackupPath(outcome.text));
        if (outcome.formatBox) {
            view_.ShowMessage(kFormatBoxText, kTitle, MessageIcon::Information);
        }
    } while (false);
    LeaveRunningState(extracted);
    FinishRecord(code);
}

bool UpdateController::PrepareImages(bool boot, const char* failText) {
    if (!steps_.ExtractEmbeddedFiles(boot, m_UseBootTwo, m_LoaderFileName, m_CodeFileName)) {
        record_.Fail("extract", "the build's images could not be written out");
        SetReturnCode(1);
        if (view_.ConsoleMode()) {
            view_.WriteConsole(failText);
        } else {
            view_.SetStatus(kIdle);
        }
        return false;
    }
    view_.Console("Done.");
    record_.AddStep("extract", UpdateRecord::Result::Done);
    SayStep(kCheckingTarget);
    if (!steps_.CheckTargetRadio()) {
        record_.Fail("target check",
                     "the radio is not the one this build is for, or did not answer");
        DeleteJoinedFiles();
        SetReturnCode(1);
        view_.Console(failText);
        return false;
    }
    view_.Console("Done.\n");
    record_.AddStep("target check", UpdateRecord::Result::Done);
    return true;
}

void UpdateController::RunDspUpdate() {
    EnterRunningState();
    SayStep(kExtracting);
    do {
        if (!steps_.ConnectToRadio(false)) {
            record_.Fail("connect");
            SetReturnCode(1);
            view_.Console("Error.");
            break;
        }
        m_UseBootTwo = false;
        if (!PrepareImages(false, "\nError.")) {
            break;
        }
        const int result = RunDownload(false, true, false);
        DeleteJoinedFiles();
        if (m_Running && result == 1) {
            record_.AddStep("DSP download", UpdateRecord::Result::Done);
            SetReturnCode(0);
            view_.Say("Done.");
        } else {
            record_.Fail("DSP download", m_Running ? "COM error" : "stopped");
            SetReturnCode(1);
            view_.Console("\nCOM error.");
        }
    } while (false);
    LeaveRunningState(false);
    FinishRecord(returnCode_);
}

void UpdateController::RunAutoBootUpdate() {
    if (build_.upgradeType == kUpgradeTypeDsp) {
        RunDspUpdate();
        return;
    }
    const bool console = view_.ConsoleMode();
    EnterRunningState();
    SayStep(kExtracting);
    // Each failure says why on the console or the status line, as the step it happened in.
    auto fail = [this](const char* step, const std::string& detail, const char* consoleText) {
        record_.Fail(step, detail);
        SetReturnCode(1);
        if (view_.ConsoleMode()) {
            view_.WriteConsole(consoleText);
        } else {
            view_.SetStatus(kIdle);
        }
    };
    do {
        if (!steps_.ConnectToRadio(false)) {
            fail("connect", "", "Error.");
            break;
        }
        bool majorMismatch = false;
        bool commError = false;
        bool formMismatch = false;
        const bool upgrade =
            steps_.CheckBootVersionAuto(majorMismatch, commError, formMismatch, m_UseBootTwo);
        if (upgrade) {
            record_.AddStep("boot check", UpdateRecord::Result::Done, "boot code out of date");
            if (!PrepareImages(true, "Error.")) {
                break;
            }
            const int result = RunDownload(true, false, console);
            view_.SetStatus(kIdle);
            DeleteJoinedFiles();
            if (result != 1) {
                fail("boot download",
                     cancel_.Cancelled() ? "stopped" : "download result " + std::to_string(result),
                     "\nError.");
                break;
            }
            record_.AddStep("boot download", UpdateRecord::Result::Done);
            if (console) {
                record_.nextStep =
                    "put the radio back into bootload mode and run the updater again for the "
                    "application code";
                SetReturnCode(2);
                break;
            }
            view_.ShowMessage(
                "Quillon Code Updater has detected that the connected radio did not\nhave the "
                "latest bootload code version.  This has been automatically\nupdated.  Please "
                "place the radio back into bootload mode to continue\nwith the application code "
                "upgrade.\n\nPress OK once the radio is ready.",
                kTitle, MessageIcon::Information);
            link_.SetRadioBaud(115200);
            view_.SetStatus(kExtracting);
            m_UseBootTwo = false;
            if (!steps_.ExtractEmbeddedFiles(false, false, m_LoaderFileName, m_CodeFileName)) {
                record_.Fail("extract");
                SetReturnCode(1);
                view_.SetStatus(kIdle);
                break;
            }
            view_.SetStatus(kCheckingTarget);
            if (!steps_.CheckTargetRadio()) {
                record_.Fail("target check");
                break;
            }
        } else if (majorMismatch) {
            record_.Fail("boot check", "the major boot versions of the radio and the build differ");
            record_.nextStep = "use the updater built for this radio's boot code";
            SetReturnCode(1);
            view_.Say("Error: the major boot versions of the radio and file are different.");
            break;
        } else if (commError) {
            record_.Fail("boot check", "no answer to the boot version query");
            SetReturnCode(1);
            view_.Say("Communication error while trying to retrieve boot version.");
            break;
        } else if (formMismatch) {
            record_.Fail("boot check", build_.radioModel == 1
                                           ? "a portable radio is connected to a mobile build"
                                           : "a mobile radio is connected to a portable build");
            record_.nextStep = "use the updater built for this radio";
            SetReturnCode(1);
            const char* text =
                build_.radioModel == 1
                    ? "This Quillon Code Updater is intended for a mobile radio, and\ncannot be "
                      "used with the connected portable radio."
                    : "This Quillon Code Updater is intended for a portable radio, and\ncannot "
                      "be used with the connected mobile radio.";
            if (console) {
                view_.WriteConsole(text);
            } else {
                view_.SetStatus(kIdle);
                view_.ShowMessage(text, kTitle, MessageIcon::Error);
            }
            break;
        } else {
            record_.AddStep("boot check", UpdateRecord::Result::Done, "boot code current");
            m_UseBootTwo = false;
            if (!PrepareImages(false, "\nError.")) {
                break;
            }
        }
        // The application code, after the boot code was current or has been upgraded.
        const int result = RunDownload(false, false, console);
        if (result == 1) {
            view_.SetStatus(kIdle);
        }
        DeleteJoinedFiles();
        if (m_Running && result == 1) {
            record_.AddStep("application download", UpdateRecord::Result::Done);
            const ResetOutcome outcome = MapResetResult(ResetRadio());
            SetReturnCode(outcome.returnCode);
            if (!console && outcome.formatBox) {
                view_.ShowMessage(kFormatBoxText, kTitle, MessageIcon::Information);
            }
            view_.Say(console ? std::string(outcome.text) : WithBackupPath(outcome.text));
        } else {
            record_.Fail("application download",
                         m_Running ? "download result " + std::to_string(result) : "stopped");
            SetReturnCode(1);
            view_.Console("\nCOM error.");
        }
    } while (false);
    LeaveRunningState(false);
    FinishRecord(returnCode_);
}

}  // namespace quillon
