#include "app/core/RadioRestore.h"

#include <array>
#include <cstdio>
#include <vector>

#include "app/core/ProgressTiming.h"
#include "link/MessageCodes.h"
#include "link/ProtocolTiming.h"
#include "link/RadioQueries.h"
#include "parms/CodeplugFormat.h"
#include "parms/CodeplugRestorePlan.h"

namespace quillon {

namespace {

constexpr std::size_t kImageBytes = 2 * kCodeplugWords;
constexpr uint8_t kHardKeyBit = 0x02;

// The radio keeps each word high byte first; the image model works on host words. Every word
// of the buffer is turned, whatever the upload filled.
void BytesToImage(const uint8_t* bytes, CodeplugImage& image) {
    for (uint32_t i = 0; i < kCodeplugWords; ++i) {
        image[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    }
}

void ImageToBytes(const CodeplugImage& image, uint8_t* bytes) {
    for (uint32_t i = 0; i < kCodeplugWords; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(image[i] >> 8);
        bytes[2 * i + 1] = static_cast<uint8_t>(image[i] & 0xFF);
    }
}

std::string HexText(const uint8_t* bytes, int count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string FormatText(FormatVersion version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor);
}

constexpr char kUpload[] = "codeplug upload";
constexpr char kDownload[] = "codeplug download";
constexpr char kConversion[] = "codeplug conversion";
constexpr char kPasswordNext[] =
    "put the codeplug password in a file only its owner can read (chmod 600), set "
    "QUILLON_CODEPLUG_PASSWORD_FILE to it and run the updater again";

}  // namespace

RadioRestore::RadioRestore(CommSession& link, EventPump& pump, UpdaterView& view,
                           ProgressTimer& progress, CodeplugExchangeFactory exchange,
                           CodeplugBackup backup, const CancelFlag* cancel)
    : link_(link),
      pump_(pump),
      view_(view),
      progress_(progress),
      exchange_(std::move(exchange)),
      backup_(std::move(backup)),
      cancel_(cancel) {}

void RadioRestore::NextStep(const std::string& text) {
    if (view_.ConsoleMode()) {
        view_.WriteConsole("Done.");
        view_.WriteConsole("\n" + text);
    } else {
        view_.SetStatus(text);
    }
}

int RadioRestore::Refuse(int result, const std::string& why) {
    view_.Console("\n" + why);
    if (!view_.ConsoleMode()) {
        view_.ShowMessage(why, "Quillon Code Updater", MessageIcon::Error);
    }
    return result;
}

int RadioRestore::Failed(int result, const std::string& step, const std::string& why,
                         const std::string& next) {
    record_->Fail(step, why);
    if (record_->reason.empty()) {
        record_->reason = why;
        record_->nextStep = next;
    }
    return result;
}

int RadioRestore::ResetRadio() {
    backupPath_.clear();
    progress_.Start(progress::kRestartWaitMs);
    CommMessage message;
    view_.Say("Resetting radio...");
    link_.SetTimeout(timing::kRestartWaitMs);
    link_.SetActive(true);
    link_.Receive(message);  // any message; none within the time is no error
    progress_.Stop();
    if (Cancelled()) {
        // Stopped while the radio restarts: the code is in, the codeplug stays as it was.
        return Failed(kRestoreNotWrittenBack, "restart", "stopped while the radio restarted");
    }
    record_->AddStep("restart", UpdateRecord::Result::Done);

    uint8_t info[10] = {};
    bool hardKey = false;
    if (ReadRadioInfo(link_, pump_, info) == kReplyReceived) {
        hardKey = (info[0] & kHardKeyBit) != 0;
    } else {
        view_.ShowMessage("Unable to retrieve radio info - no hard key check will be made.",
                          "Communication Error", MessageIcon::Error);
    }

    if (message.HasCode(linkcontrol::kFamily, linkcontrol::kControlHeadUpdate)) {
        if (message.Data[3] != 0) {
            view_.ShowMessage(
                "Quillon Code Updater has detected that multiple Cinder control heads\nwith the "
                "same device address are attached to the upgraded mobile radio.\nThe application "
                "code upgrade is complete, but please correct the addressing\nconflict so the "
                "Cinder control heads can be updated with current code.\nThis will be done "
                "automatically when the radio is reset.",
                "Quillon Code Updater", MessageIcon::Error);
        } else {
            for (int updates = 0;
                 message.HasCode(linkcontrol::kFamily, linkcontrol::kControlHeadUpdate) &&
                 updates < timing::kMaxControlHeadUpdates;
                 ++updates) {
                progress_.Start(progress::kPerControlHeadMs);
                message = CommMessage{};
                view_.Say("Updating Cinder control head...");
                link_.SetTimeout(timing::kControlHeadWaitMs);
                link_.SetActive(true);
                link_.Receive(message);
                progress_.Stop();
            }
        }
    }
    const int result = RestoreCodeplug(hardKey);
    // A stop during the format query is no silent radio.
    if (result == kRestoreNoAnswer && Cancelled()) {
        record_->reason = "stopped before the codeplug was read";
        return kRestoreNotWrittenBack;
    }
    return result;
}

std::string RadioRestore::ReadRadioSerial() {
    link_.SetActive(true);
    link_.SendCode2(query::kFamily, query::kSerialNumberRequest, nullptr, 0);
    CommMessage reply;
    if (ReceivePastRestartMessages(link_, pump_, reply) == 1 &&
        reply.HasCode(query::kFamily, query::kSerialNumberReply) && reply.Length >= 10) {
        return HexText(reply.Data + 2, 8);
    }
    return {};
}

int RadioRestore::RestoreCodeplug(bool hardKey) {
    backupPath_.clear();
    link_.SetTimeout(timing::kRestoreReplyTimeoutMs);
    const std::string serial = ReadRadioSerial();
    record_->serial = serial;

    link_.SetActive(true);
    link_.SendCode2(query::kFamily, query::kFileFormatRequest, nullptr, 0);
    CommMessage reply;
    if (ReceivePastRestartMessages(link_, pump_, reply) != 1 ||
        !reply.HasCode(query::kFamily, query::kFileFormatReply) || reply.Length < 4) {
        return Failed(kRestoreNoAnswer, "codeplug format query",
                      "the radio did not answer after its restart");
    }
    const uint8_t target = CodeplugFormat::FormatIndexOf(reply.Data[2], reply.Data[3]);
    record_->codeplugFormatAfter = FormatText({reply.Data[2], reply.Data[3]});

    std::vector<uint8_t> buffer(kImageBytes, 0);
    std::unique_ptr<CodeplugExchange> exchange = exchange_(link_, serial, view_);

    progress_.Start(progress::kUploadMs);
    NextStep("Uploading codeplug...");
    int32_t uploaded = 0;
    const int n = exchange->Upload(buffer.data(), uploaded);
    progress_.Stop();
    if (n <= 0 || uploaded <= 0 || static_cast<std::size_t>(uploaded) > kImageBytes) {
        if (exchange->PasswordWanted() && !Cancelled()) {
            return Failed(kRestoreUploadFailed, kUpload,
                          "password required: the radio's codeplug is protected and access was "
                          "not granted",
                          kPasswordNext);
        }
        return Failed(kRestoreUploadFailed, kUpload,
                      Cancelled() ? "upload failed: stopped" : "upload failed");
    }
    record_->AddStep(kUpload, UpdateRecord::Result::Done, std::to_string(uploaded) + " bytes");
    // What the radio sent, kept aside for the backup.
    const std::vector<uint8_t> asSent(buffer.begin(), buffer.begin() + uploaded);

    auto image = std::make_unique<CodeplugImage>();
    BytesToImage(buffer.data(), *image);
    // An upload that ended before the image's own length would be written back without its
    // end: the radio would lose what was never read.
    const std::size_t ownLength = 2u * CodeplugFormat::TotalLength(*image);
    if (static_cast<std::size_t>(uploaded) < ownLength) {
        view_.Console("\nThe codeplug read from the radio ends after " + std::to_string(uploaded) +
                      " of its " + std::to_string(ownLength) +
                      " bytes; nothing was written back.\n");
        return Failed(kRestoreUploadFailed, kUpload,
                      "upload failed: the codeplug ends after " + std::to_string(uploaded) +
                          " of its " + std::to_string(ownLength) + " bytes");
    }
    const CodeplugRestoreResult plan =
        CodeplugRestorePlan().Run(*image, static_cast<std::size_t>(uploaded), target, hardKey);
    if (plan.sourceFormat != kUnknownFormat) {
        record_->codeplugFormatBefore =
            FormatText(CodeplugFormat::VersionOfIndex(plan.sourceFormat));
    }
    switch (plan.refusal) {
        case RestoreRefusal::None:
            break;
        case RestoreRefusal::Malformed:
            return Failed(kRestoreUploadFailed, kConversion,
                          "upload failed: the codeplug read from the radio is malformed (" +
                              plan.reason + ")");
        case RestoreRefusal::FormatTooOld:
            return Failed(
                kRestoreNotConvertible, kConversion,
                "format too old: no conversion reaches codeplug format " +
                    record_->codeplugFormatAfter + " from " +
                    (record_->codeplugFormatBefore.empty() ? std::string("the radio's")
                                                           : record_->codeplugFormatBefore),
                "perform a parms upload and download with Tessera");
        case RestoreRefusal::Backwards:
            Failed(kRestoreNotWrittenBack, kConversion,
                   "not written back: the codeplug's format is newer than the radio's",
                   "convert the codeplug with the approved version of Tessera");
            view_.Console(std::string("\n") + kBackwardsText + "\n");
            if (!view_.ConsoleMode()) {
                view_.ShowMessage(kBackwardsText, "Warning", MessageIcon::Warning);
            }
            return kRestoreNotWrittenBack;
        case RestoreRefusal::Outgrown:
            Failed(kRestoreNotWrittenBack, kConversion, "not written back: " + plan.reason);
            return Refuse(kRestoreNotWrittenBack, "The codeplug could not be converted (" +
                                                      plan.reason +
                                                      "); nothing was written to the radio.\n");
        case RestoreRefusal::BadLength:
            Failed(kRestoreDownloadFailed, kConversion, "download failed: " + plan.reason);
            return Refuse(kRestoreDownloadFailed,
                          "The codeplug was not written back (" + plan.reason + ").\n");
    }
    if (serial.empty()) {
        // Without the serial number the blocks cannot be scrambled as the radio expects.
        Failed(kRestoreDownloadFailed, "serial number query",
               "download failed: the radio's serial number could not be read");
        return Refuse(kRestoreDownloadFailed,
                      "The radio's serial number could not be read; the codeplug was not written "
                      "back.\n");
    }
    std::string error;
    if (!backup_.Save(asSent.data(), asSent.size(), serial, backupPath_, error)) {
        backupPath_.clear();
        Failed(kRestoreNotWrittenBack, "codeplug backup",
               "not written back: the codeplug could not be saved (" + error + ")");
        return Refuse(kRestoreNotWrittenBack,
                      "The codeplug read from the radio could not be saved (" + error +
                          "); nothing was written to the radio.\n");
    }
    view_.Console("Done.\nCodeplug saved to " + backupPath_);
    record_->backup = backupPath_;
    record_->AddStep("codeplug backup", UpdateRecord::Result::Done, backupPath_);
    if (!view_.ConsoleMode()) {
        view_.SetStatus("Codeplug saved to " + backupPath_);
    }

    progress_.Start(progress::kResetPauseMs);
    if (view_.ConsoleMode()) {
        view_.WriteConsole("\nResetting radio and converting codeplug...");
    } else {
        view_.SetStatus("Resetting radio and converting codeplug...");
    }
    pump_.SleepMs(timing::TicksToMs(timing::kResetPauseTicks));
    progress_.Stop();
    if (Cancelled()) {
        return Failed(kRestoreNotWrittenBack, kConversion,
                      "not written back: stopped before the download");
    }
    record_->AddStep(kConversion, UpdateRecord::Result::Done,
                     record_->codeplugFormatBefore + " to " + record_->codeplugFormatAfter);
    if (!plan.verified) {
        record_->AddStep("codeplug verification", UpdateRecord::Result::Failed,
                         "the 5.11 verification failed; the repaired codeplug is written back");
        view_.ShowMessage("This radio needs to be updated with the latest version of TSR.",
                          "File Format Verification Failed", MessageIcon::Error);
    }

    const auto newSize = static_cast<int32_t>(plan.downloadBytes);
    ImageToBytes(*image, buffer.data());
    progress_.Start(static_cast<int>(newSize * progress::kDownloadMsPerByte));
    NextStep("Downloading codeplug...");
    const int written = exchange->Download(buffer.data(), newSize);
    progress_.Stop();
    if (written > 0) {
        record_->AddStep(kDownload, UpdateRecord::Result::Done, std::to_string(newSize) + " bytes");
        return kRestoreWritten;
    }
    const std::string verification = plan.verified ? "" : " after a failed verification";
    if (exchange->PasswordWanted() && !Cancelled()) {
        return Failed(kRestoreDownloadFailed, kDownload,
                      "password required: the radio refused the codeplug download" + verification,
                      kPasswordNext);
    }
    return Failed(kRestoreDownloadFailed, kDownload, "download failed" + verification);
}

}  // namespace quillon
