#pragma once

#include <functional>
#include <string>

#include "app/core/CodeplugBackup.h"
#include "app/core/CodeplugExchange.h"
#include "app/core/ProgressTimer.h"
#include "app/core/RadioRestore.h"
#include "app/core/UpdateRecord.h"
#include "app/core/UpdateSteps.h"
#include "app/core/UpdaterView.h"
#include "link/Comm.h"
#include "serial/CancelFlag.h"
#include "serial/EventPump.h"

namespace quillon {

// The final text and return code of an update after the reset-and-restore step.
struct ResetOutcome {
    const char* text;
    int returnCode;
    bool formatBox;  // window mode shows the box about the unsupported conversion
};

// The main window's update logic without the window: its running state, the Start button with
// the service access code, the manual and the automatic-boot update sequences, the progress bar
// timer and the texts of every outcome. The window binds its controls to it; the console mode
// drives it through the same view.
class UpdateController {
public:
    static constexpr char kTitle[] = "Quillon Code Updater";
    static constexpr char kFormatBoxText[] =
        "Quillon Code updaters do not support a file format conversion for your\nradio.  To "
        "clear the Bad File Format error, please perform a parms\nupload and then download using "
        "Tessera.  If you do not\nhave Tessera, then contact your local dealer for assistance.";

    UpdateController(CommSession& link, EventPump& pump, UpdaterView& view, UpdateSteps& steps,
                     UpdateBuild build, CodeplugExchangeFactory exchange, CodeplugBackup backup);
    ~UpdateController();
    UpdateController(const UpdateController&) = delete;
    UpdateController& operator=(const UpdateController&) = delete;

    // Start; while a sequence runs, a press is Stop. `bootSelected`: the Boot choice is made.
    void Start(bool bootSelected);
    // Closing the window: true when it may close; while running, only after the user confirmed,
    // which stops the run.
    bool CanClose();

    void RunManualUpdate(bool boot, bool bootSelected);
    // The unattended sequence of the command-line mode (and of the window for builds that
    // upgrade an old boot code themselves). A DSP build carries no application or boot code, so
    // there it is RunDspUpdate.
    void RunAutoBootUpdate();
    // The DSP download as the window runs it for a DSP build (the loader, then the pages; no
    // codeplug step), with the console texts of the automatic sequence: return code 0 only when
    // the download succeeded, 1 otherwise.
    void RunDspUpdate();
    int ResetRadio() { return restore_.ResetRadio(); }

    void EnterRunningState();
    void LeaveRunningState(bool deleteFiles);
    void StartProgressTimer(int ms) { progress_.Start(ms); }
    void StopProgressTimer() { progress_.Stop(); }
    // The download engines' status line and console.
    void StatusCallback(const std::string& text) { view_.SetStatus(text); }
    void ConsoleWriter(const std::string& text);

    // The text and return code for a ResetRadio result.
    static ResetOutcome MapResetResult(int result);
    // Whether a typed service access code opens the updater.
    bool AccessCodeAccepted(const std::string& typed, bool bootRequested) const;

    // The process return code goes through `sink` (SetReturnCode) as well as being kept here.
    void SetReturnCodeSink(std::function<void(int)> sink) { returnCodeSink_ = std::move(sink); }
    void SetReturnCode(int value);
    int ReturnCode() const { return returnCode_; }

    const UpdateBuild& Build() const { return build_; }
    bool Running() const { return m_Running; }
    bool PasswordAccepted() const { return m_PasswordAccepted; }
    bool AutoBootMode() const { return m_AutoBootMode; }
    bool UseBootTwo() const { return m_UseBootTwo; }
    const std::string& LoaderFileName() const { return m_LoaderFileName; }
    const std::string& CodeFileName() const { return m_CodeFileName; }
    const CancelFlag& Cancel() const { return cancel_; }
    CancelFlag& Cancel() { return cancel_; }
    // Whether a stop was asked from outside the controller (a signal in command-line mode): a
    // run started after it begins cancelled, and the flag is not cleared after the run.
    void SetStopRequested(std::function<bool()> requested) {
        stopRequested_ = std::move(requested);
    }
    RadioRestore& Restore() { return restore_; }

    // The record of the last update run (begun when it entered the running state).
    const UpdateRecord& Record() const { return record_; }
    // Called with the record when an update run has ended.
    void SetRunFinished(std::function<void(const UpdateRecord&)> finished) {
        runFinished_ = std::move(finished);
    }
    ProgressTimer& Progress() { return progress_; }

private:
    class DownloadReport;

    // A progress step: "\n" + text + "..." on the console, the text on the status line.
    void SayStep(const std::string& text);
    void DeleteJoinedFiles();
    // A final status text followed by where the codeplug read from the radio was saved.
    std::string WithBackupPath(const std::string& text) const;
    // The automatic sequence's extraction and target check with their console texts; false
    // after a failure, written as `failText`, with return code 1.
    bool PrepareImages(bool boot, const char* failText);
    int RunDownload(bool boot, bool dsp, bool consoleProgress);
    void Stop();
    bool StopRequested() const { return stopRequested_ && stopRequested_(); }
    // Ends the run's record with `code` and hands it on.
    void FinishRecord(int code);

    CommSession& link_;
    EventPump& pump_;
    UpdaterView& view_;
    UpdateSteps& steps_;
    UpdateBuild build_;
    ProgressTimer progress_;
    CancelFlag cancel_;
    RadioRestore restore_;
    std::function<void(int)> returnCodeSink_;
    std::function<bool()> stopRequested_;
    std::function<void(const UpdateRecord&)> runFinished_;
    UpdateRecord record_;
    int returnCode_ = 0;

    bool m_Running = false;
    bool m_PasswordAccepted = false;
    bool m_AutoBootMode = false;
    bool m_UseBootTwo = false;
    std::string m_LoaderFileName;
    std::string m_CodeFileName;
};

}  // namespace quillon
