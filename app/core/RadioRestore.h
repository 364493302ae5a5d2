#pragma once

#include <cstdint>
#include <string>

#include "app/core/CodeplugBackup.h"
#include "app/core/CodeplugExchange.h"
#include "app/core/ProgressTimer.h"
#include "app/core/UpdateRecord.h"
#include "app/core/UpdaterView.h"
#include "link/Comm.h"
#include "serial/CancelFlag.h"
#include "serial/EventPump.h"

namespace quillon {

// Results of ResetRadio and RestoreCodeplug.
enum RestoreResult : int {
    kRestoreNoAnswer = 0,        // no answer to the codeplug format query
    kRestoreNotConvertible = 1,  // the codeplug's or the radio's format is older than 5.8
    kRestoreWritten = 3,         // the codeplug was written back
    kRestoreUploadFailed = 4,    // the upload failed, or the image is malformed
    kRestoreDownloadFailed = 5,  // the download failed or was refused before it began
    kRestoreNotWrittenBack = 6,  // the codeplug was read but deliberately not written back
};

// After an application download: waits for the radio to restart, follows its control-head
// updates, reads its codeplug out, keeps a backup of it, converts it to the format the new
// firmware expects and writes it back.
class RadioRestore {
public:
    static constexpr char kBackwardsText[] =
        "Quillon Updater does not support backwards file format conversions.\nPlease use the "
        "approved version of Tessera to perform the conversion";

    RadioRestore(CommSession& link, EventPump& pump, UpdaterView& view, ProgressTimer& progress,
                 CodeplugExchangeFactory exchange, CodeplugBackup backup,
                 const CancelFlag* cancel = nullptr);

    int ResetRadio();
    int RestoreCodeplug(bool hardKey);
    // The serial number as 16 upper-case hexadecimal digits, or empty when it could not be read.
    std::string ReadRadioSerial();

    // Where the last restore saved the codeplug it read (empty when it saved none).
    const std::string& BackupPath() const { return backupPath_; }

    // The record of the run the restore belongs to: serial number, codeplug formats, backup,
    // each step and, when it fails, why. Without one nothing is recorded.
    void SetRecord(UpdateRecord* record) { record_ = record != nullptr ? record : &unrecorded_; }

private:
    bool Cancelled() const { return cancel_ != nullptr && cancel_->Cancelled(); }
    // The console closes the step before with "Done."; the window shows the new step's text.
    void NextStep(const std::string& text);
    int Refuse(int result, const std::string& why);
    // Records the failed step with why and what to do, and returns `result`.
    int Failed(int result, const std::string& step, const std::string& why,
               const std::string& next = {});

    CommSession& link_;
    EventPump& pump_;
    UpdaterView& view_;
    ProgressTimer& progress_;
    CodeplugExchangeFactory exchange_;
    CodeplugBackup backup_;
    const CancelFlag* cancel_;
    std::string backupPath_;
    UpdateRecord unrecorded_;
    UpdateRecord* record_ = &unrecorded_;
};

}  // namespace quillon
