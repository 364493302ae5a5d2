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
      m_AutoBootMode(build.AutoBootMode()) {}

UpdateController::~UpdateController() = default;

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
    EnterRunningState();
    view_.SetStatus(kExtracting);
    do {
        if (!steps_.ConnectToRadio(false)) {
            view_.SetStatus(kIdle);
            break;
        }
        if (boot && !steps_.CheckBootVersion(m_UseBootTwo)) {
            break;
        }
        if (!steps_.ExtractEmbeddedFiles(bootSelected, m_UseBootTwo, m_LoaderFileName,
                                         m_CodeFileName)) {
            view_.SetStatus(kIdle);
            break;
        }
        extracted = true;
        view_.SetStatus(kCheckingTarget);
        if (!steps_.CheckTargetRadio()) {
            break;
        }
        result = RunDownload(boot, dsp, false);
        if (boot || dsp || !m_Running || result != 1) {
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
        view_.SetStatus(WithBackupPath(outcome.text));
        if (outcome.formatBox) {
            view_.ShowMessage(kFormatBoxText, kTitle, MessageIcon::Information);
        }
    } while (false);
    LeaveRunningState(extracted);
}

bool UpdateController::PrepareImages(bool boot, const char* failText) {
    if (!steps_.ExtractEmbeddedFiles(boot, m_UseBootTwo, m_LoaderFileName, m_CodeFileName)) {
        SetReturnCode(1);
        if (view_.ConsoleMode()) {
            view_.WriteConsole(failText);
        } else {
            view_.SetStatus(kIdle);
        }
        return false;
    }
    view_.Console("Done.");
    SayStep(kCheckingTarget);
    if (!steps_.CheckTargetRadio()) {
        DeleteJoinedFiles();
        SetReturnCode(1);
        view_.Console(failText);
        return false;
    }
    view_.Console("Done.\n");
    return true;
}

void UpdateController::RunDspUpdate() {
    EnterRunningState();
    SayStep(kExtracting);
    do {
        if (!steps_.ConnectToRadio(false)) {
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
            SetReturnCode(0);
            view_.Say("Done.");
        } else {
            SetReturnCode(1);
            view_.Console("\nCOM error.");
        }
    } while (false);
    LeaveRunningState(false);
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
    auto fail = [this](const char* consoleText) {
        SetReturnCode(1);
        if (view_.ConsoleMode()) {
            view_.WriteConsole(consoleText);
        } else {
            view_.SetStatus(kIdle);
        }
    };
    do {
        if (!steps_.ConnectToRadio(false)) {
            fail("Error.");
            break;
        }
        bool majorMismatch = false;
        bool commError = false;
        bool formMismatch = false;
        const bool upgrade =
            steps_.CheckBootVersionAuto(majorMismatch, commError, formMismatch, m_UseBootTwo);
        if (upgrade) {
            if (!PrepareImages(true, "Error.")) {
                break;
            }
            const int result = RunDownload(true, false, console);
            view_.SetStatus(kIdle);
            DeleteJoinedFiles();
            if (result != 1) {
                fail("\nError.");
                break;
            }
            if (console) {
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
                SetReturnCode(1);
                view_.SetStatus(kIdle);
                break;
            }
            view_.SetStatus(kCheckingTarget);
            if (!steps_.CheckTargetRadio()) {
                break;
            }
        } else if (majorMismatch) {
            SetReturnCode(1);
            view_.Say("Error: the major boot versions of the radio and file are different.");
            break;
        } else if (commError) {
            SetReturnCode(1);
            view_.Say("Communication error while trying to retrieve boot version.");
            break;
        } else if (formMismatch) {
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
            const ResetOutcome outcome = MapResetResult(ResetRadio());
            SetReturnCode(outcome.returnCode);
            if (!console && outcome.formatBox) {
                view_.ShowMessage(kFormatBoxText, kTitle, MessageIcon::Information);
            }
            view_.Say(console ? std::string(outcome.text) : WithBackupPath(outcome.text));
        } else {
            SetReturnCode(1);
            view_.Console("\nCOM error.");
        }
    } while (false);
    LeaveRunningState(false);
}

}  // namespace quillon
