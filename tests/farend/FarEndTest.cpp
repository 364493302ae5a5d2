// Every engine step of an update against every kind of far end, on the virtual clock: each case
// must end with its documented result within its time-outs, send nothing once it has ended,
// leave its working folder empty and free the line.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/RadioRestore.h"
#include "app/core/TransferCodeplugExchange.h"
#include "app/core/UpdateController.h"
#include "download/CodeDownload.h"
#include "download/DownloadResult.h"
#include "download/DspDownload.h"
#include "link/ProtocolTiming.h"
#include "link/RadioQueries.h"
#include "link/VersionInfo.h"
#include "tests/app/core/CodeplugBytes.h"
#include "tests/app/core/WorkflowFakes.h"
#include "tests/farend/FarEnd.h"
#include "tests/farend/FarEndLine.h"
#include "tests/support/SRecordText.h"
#include "transfer/CodeplugTransfer.h"

namespace quillon::test {
namespace {

using Frames = std::vector<SentFrame>;

constexpr char kPassword[] = "4711";
constexpr uint8_t kRadioType = 0;  // a 2-second flash erase
constexpr size_t kLoaderBytes = 1024;
constexpr size_t kCodeBytes = 2048;
constexpr int kNotConnected = -99;
constexpr int kFailed = -1;  // a codeplug transfer that did not succeed (its result <= 0)
// How far inside or outside a time-out a late answer arrives.
constexpr int64_t kDelayMarginMs = 100;
// Line time and the pauses around a wait, beyond the waits that bound a case.
constexpr int64_t kSlackMs = 300;
// How much longer than a step's waits a flood bounded by a count of messages may take.
constexpr int64_t kCountedFloodMs = 1000;
// How long the line is watched after a case has ended.
constexpr int64_t kWatchAfterEndMs = timing::kControlHeadWaitMs;

bool Is(const Bytes& payload, uint8_t c1, uint8_t c2) {
    return payload.size() >= 2 && payload[0] == c1 && payload[1] == c2;
}
bool Is(const SentFrame& frame, uint8_t c1, uint8_t c2) {
    return Is(frame.payload, c1, c2);
}
size_t FirstIndex(const Frames& frames, uint8_t c1, uint8_t c2, size_t from = 0) {
    for (size_t i = from; i < frames.size(); ++i) {
        if (Is(frames[i], c1, c2)) {
            return i;
        }
    }
    return frames.size();
}
size_t LastIndex(const Frames& frames, uint8_t c1, uint8_t c2) {
    for (size_t i = frames.size(); i-- > 0;) {
        if (Is(frames[i], c1, c2)) {
            return i;
        }
    }
    return frames.size();
}
// The first frame from `k` on that the radio answers: the one whose wait a fault makes fail.
size_t FirstAnswered(const Frames& frames, size_t k) {
    while (k < frames.size() && !frames[k].answered) {
        ++k;
    }
    return k;
}

// The longest a reply is waited for after `lastFrame` (empty: before the first frame, the
// restarted radio's first message).
int64_t ReplyTimeoutAfter(const Bytes& lastFrame) {
    if (lastFrame.empty() || Is(lastFrame, 0x09, 0x00)) {
        return timing::kRestartWaitMs;
    }
    if (lastFrame[0] == 0x02) {
        return timing::kDownloadReplyTimeoutMs;
    }
    if (Is(lastFrame, 0x04, 0x6F) || Is(lastFrame, 0x04, 0x67)) {
        return timing::kShortQueryTimeoutMs;
    }
    return timing::kQueryTimeoutMs;
}

// ---- the far end, the line and the session ----

// The status line of the download engines.
class StatusLine : public ProgressReport {
public:
    void Status(const std::string& text) override { last = text; }
    std::string last;
};

struct Rig {
    Rig(sim::RadioConfig config, FarEndPlan plan)
        : radio(pump, std::move(config)), farEnd(pump, std::move(plan)), line(pump, radio, farEnd) {
        line.Session().UseTimeoutTimer(*timer);
    }
    CommSession& Session() { return line.Session(); }

    VirtualEventPump pump;
    sim::InProcessRadio radio;
    FarEnd farEnd;
    std::unique_ptr<Timer> timer = pump.CreateTimer();
    FarEndLine line;
    std::string backups;  // where a restore keeps the codeplug it read
    StatusLine status;
};

class FixedPrompt : public PasswordPrompt {
public:
    bool Ask(std::string& password) override {
        password = kPassword;
        return true;
    }
};

// ---- the steps ----

std::string DspImage() {
    // One section of 200 words at address 0 of page 0, no optional header.
    constexpr uint32_t kWords = 200;
    std::string file(22 + 40, '\0');
    file[2] = 1;
    file[22 + 16] = static_cast<char>(kWords);
    file[22 + 20] = static_cast<char>(file.size());
    for (uint32_t i = 0; i < 2 * kWords; ++i) {
        file.push_back(static_cast<char>(i * 13 + 5));
    }
    return file;
}

int RunVersionQuery(Rig& rig) {
    if (!rig.line.Connect()) {
        return kNotConnected;
    }
    VersionInfo info{};
    return ReadVersionInfo(rig.Session(), kRadioType, info, true);
}

int RunRadioInfo(Rig& rig) {
    if (!rig.line.Connect()) {
        return kNotConnected;
    }
    uint8_t info[10] = {};
    return ReadRadioInfo(rig.Session(), info);
}

int DownloadBothImages(Rig& rig) {
    std::istringstream loader(SRecords(kLoaderBytes, 1)), code(SRecords(kCodeBytes, 2));
    return DownloadCode(rig.Session(), loader, code, rig.status, kRadioType, false, false, false,
                        nullptr, rig.pump);
}

int RunCodeDownload(Rig& rig) {
    return rig.line.Connect() ? DownloadBothImages(rig) : kNotConnected;
}

// Port mode answers a negative reply to the start or a checksum by sending again.
int RunCodeDownloadPortMode(Rig& rig) {
    return rig.line.ConnectPortMode() ? DownloadBothImages(rig) : kNotConnected;
}

int RunDspDownload(Rig& rig) {
    if (!rig.line.Connect()) {
        return kNotConnected;
    }
    // A DSP loader is read the fixed S3 way and must end with S9.
    std::string loaderText = SRecords(kLoaderBytes, 3);
    loaderText.replace(loaderText.rfind("S7"), std::string::npos, "S9030000FC\n");
    std::istringstream loader(loaderText), dsp(DspImage());
    return DownloadDsp(DownloadContext{rig.Session(), rig.pump, rig.status, nullptr}, loader, dsp,
                       {std::filesystem::current_path()});
}

int RunTransfer(Rig& rig, bool upload) {
    if (!rig.line.Connect()) {
        return kNotConnected;
    }
    rig.Session().SetTimeout(timing::kCodeplugReplyTimeoutMs);
    auto storage = std::make_unique<std::array<uint8_t, TransferBase::kImageBytes>>();
    storage->fill(0);
    const std::vector<uint8_t> image = RadioCodeplug(0x0509);
    if (!upload) {
        std::copy(image.begin(), image.end(), storage->begin());
    }
    FixedPrompt prompt;
    CodeplugTransfer transfer;
    transfer.SetDevice(rig.Session());
    transfer.SetBuffer(TransferBase::ImageBuffer{*storage},
                       upload ? 0 : static_cast<int32_t>(image.size()));
    transfer.SetSerialKey("123456789ABCDEF0");
    transfer.PassChecker().SetPasswordPrompt(&prompt);
    return (upload ? transfer.Upload() : transfer.Download()) > 0 ? 1 : kFailed;
}

int RunRestore(Rig& rig) {
    if (!rig.line.Connect()) {
        return kNotConnected;
    }
    WorkflowView view(false);
    view.typed = kPassword;
    ProgressTimer progress(rig.pump, view);
    RadioRestore restore(rig.Session(), rig.pump, view, progress,
                         TransferCodeplugExchange::Factory(nullptr), CodeplugBackup(rig.backups));
    rig.radio.Restart();
    return restore.ResetRadio();
}

// The automatic sequence's steps with the real code download, connecting through the far end.
class ConsoleSteps : public FakeSteps {
public:
    explicit ConsoleSteps(Rig& rig) : rig_(rig) {}
    bool ConnectToRadio(bool) override { return rig_.line.Connect(); }
    void CloseLink() override { rig_.Session().Close(); }
    bool ExtractEmbeddedFiles(bool, bool, std::string& loader, std::string& code) override {
        loader = "Loader.hex";
        code = "Code.hex";
        std::ofstream(loader) << SRecords(kLoaderBytes, 1);
        std::ofstream(code) << SRecords(kCodeBytes, 2);
        return true;
    }
    int DownloadCode(std::istream& loader, std::istream& code, ProgressReport& report, bool boot,
                     bool consoleProgress, const CancelFlag* cancel) override {
        return quillon::DownloadCode(rig_.Session(), loader, code, report, kRadioType, boot, false,
                                     consoleProgress, cancel, rig_.pump);
    }

private:
    Rig& rig_;
};

int RunConsoleUpdate(Rig& rig) {
    WorkflowView view(true);
    ConsoleSteps steps(rig);
    UpdateBuild build;
    build.radioType = kRadioType;
    UpdateController controller(rig.Session(), rig.pump, view, steps, build,
                                TransferCodeplugExchange::Factory(nullptr),
                                CodeplugBackup(rig.backups));
    rig.Session().SetCancelFlag(&controller.Cancel());
    // As the console mode runs it.
    controller.RunAutoBootUpdate();
    steps.CloseLink();
    rig.Session().SetCancelFlag(nullptr);
    return controller.ReturnCode();
}

// ---- what each step documents ----

int RestoreFailure(const Frames& frames, size_t j) {
    if (j <= FirstIndex(frames, 0x04, 0x1C)) {
        return kRestoreNoAnswer;
    }
    return j < FirstIndex(frames, 0x03, 0x00) ? kRestoreUploadFailed : kRestoreDownloadFailed;
}

int ConsoleFailure(const Frames& frames, size_t j) {
    if (j < LastIndex(frames, 0x02, 0x04)) {
        return 1;
    }
    return UpdateController::MapResetResult(RestoreFailure(frames, j)).returnCode;
}

// Whether frame `k` belongs to a password exchange (the start of a transfer or a password),
// where the radio's restart message and control-head updates are skipped.
bool InPasswordExchange(const Frames& frames, size_t k) {
    return Is(frames[k], 0x03, 0x07) || Is(frames[k], 0x03, 0x00) || Is(frames[k], 0x03, 0x0C);
}
bool SkippedInPasswordExchange(const Frames& frames, size_t j, const Bytes& message) {
    return (Is(message, 0x07, 0x25) || Is(message, 0x09, 0x03)) && InPasswordExchange(frames, j);
}

int QueryFailure(const Frames& frames, size_t j) {
    return Is(frames[j], 0x04, 0x3E) ? 8 : kReplyWaitEnded;  // the SEM version, or the rest
}
int RadioInfoFailure(const Frames&, size_t) {
    return kReplyWaitEnded;
}
int DownloadFailure(const Frames&, size_t) {
    return kDownloadTimedOut;
}
int PortModeDownloadFailure(const Frames&, size_t) {
    return kDownloadCommProblem;  // nothing was arriving when the wait ended
}
int TransferFailure(const Frames&, size_t) {
    return kFailed;
}

bool SendsUnchecked(const Frames&, size_t) {
    return false;
}
bool SendsChecked(const Frames&, size_t) {
    return true;
}
// The codeplug transfers end when a frame cannot go out; the queries around them go on.
bool CodeplugSendsChecked(const Frames& frames, size_t k) {
    return !frames[k].payload.empty() && frames[k].payload[0] == 0x03;
}

// Replies are matched by code and length (the SEM version and the radio information take any
// frame, and keep the status of a reply).
int IgnoresUnsolicited(const Frames&, size_t, size_t, const Bytes&) {
    return 1;
}
// A transfer takes no frame but its own, except that its password exchange skips the radio's
// restart message and control-head updates.
int TransferUnsolicited(const Frames& frames, size_t, size_t j, const Bytes& message) {
    if (j == frames.size()) {
        return 1;
    }
    return SkippedInPasswordExchange(frames, j, message) ? 1 : kFailed;
}
// The restore's queries skip restart messages; its transfers as above.
int RestoreUnsolicited(const Frames& frames, size_t, size_t j, const Bytes& message) {
    if (j == frames.size() || j <= FirstIndex(frames, 0x04, 0x1C) ||
        SkippedInPasswordExchange(frames, j, message)) {
        return kRestoreWritten;
    }
    return RestoreFailure(frames, j);
}
// The download ignores it. Arriving before the radio has restarted, a 07 25 ends the wait for
// the restart early, and the radio's own 07 25 then meets the codeplug upload; a 09 03 is
// followed until the radio's own 07 25 comes.
int ConsoleUnsolicited(const Frames& frames, size_t k, size_t j, const Bytes& message) {
    const size_t codeEnd = LastIndex(frames, 0x02, 0x04);
    if (k < codeEnd) {
        return 0;
    }
    if (k <= LastIndex(frames, 0x09, 0x00)) {
        return Is(message, 0x07, 0x25)
                   ? UpdateController::MapResetResult(kRestoreUploadFailed).returnCode
                   : 0;
    }
    if (j == frames.size() || j <= FirstIndex(frames, 0x04, 0x1C) ||
        SkippedInPasswordExchange(frames, j, message)) {
        return 0;
    }
    return ConsoleFailure(frames, j);
}

struct Step {
    const char* name;
    sim::RadioConfig (*config)();
    int (*run)(Rig&);
    int success;
    // The result when the wait after frame j is the first to fail.
    int (*failureAt)(const Frames&, size_t j);
    // Whether the step ends when frame k cannot be sent (a line that fails on writes).
    bool (*sendChecked)(const Frames&, size_t k);
    // The result when an unsolicited message arrives right after frame k; the wait after frame
    // j, the first answered one from k on, reads it.
    int (*unsolicitedAt)(const Frames&, size_t k, size_t j, const Bytes& message);
    // The waits that may follow the moment a far end fails, at most.
    int64_t boundMs;
    // Frames the step may still send after a wait has failed (its documented ending); checked
    // for the steps that end at their first failure.
    std::vector<Bytes> endings;
    bool endingsChecked;
    // The engine steps leave the line to their caller; a whole update closes it itself.
    bool leavesLineOpen = true;
    // The status line a download leaves for its result when the wait after frame j failed
    // (frames.size(): none failed); null where the step shows none.
    std::string (*statusFor)(const Frames& sent, size_t j, int result) = nullptr;
    // A codeplug transfer leaves the link inactive; a writing step stores one codeplug in the
    // radio exactly when it succeeds.
    bool clearsActive = false;
    bool writesCodeplug = false;
};

sim::RadioConfig CodeplugRadio(bool password) {
    sim::RadioConfig config;
    config.codeplugFormat = {5, 11};
    config.codeplug.image = RadioCodeplug(0x0509);
    if (password) {
        config.codeplug.password = kPassword;
    }
    config.SetHardKey(true);
    return config;
}
sim::RadioConfig PlainRadio() {
    return {};
}
sim::RadioConfig ProtectedCodeplugRadio() {
    return CodeplugRadio(true);
}
sim::RadioConfig OpenCodeplugRadio() {
    return CodeplugRadio(false);
}

const int64_t kCodeDownloadBoundMs =
    timing::TicksToMs(timing::kEraseTicks2s) + timing::kDownloadReplyTimeoutMs;
const int64_t kRestoreBoundMs =
    timing::kRestartWaitMs + timing::kShortQueryTimeoutMs + 2 * timing::kRestoreReplyTimeoutMs +
    timing::TicksToMs(timing::kResetPauseTicks) + timing::kCodeplugReplyTimeoutMs;

int RunUpload(Rig& rig) {
    return RunTransfer(rig, true);
}
int RunDownload(Rig& rig) {
    return RunTransfer(rig, false);
}

std::string CodeStatus(const Frames&, size_t, int result) {
    return result == kDownloadOk ? "Download finished." : DownloadResultText(result);
}
// The loader goes as in a code download, with its texts.
std::string DspStatus(const Frames& sent, size_t j, int result) {
    if (result == kDownloadOk) {
        return "Download finished";
    }
    return j < FirstIndex(sent, 0x02, 0x00) ? DownloadResultText(result) : DspResultText(result);
}

std::vector<Step> Steps() {
    const Bytes end{0x03, 0x04};
    const int64_t dspBoundMs = timing::kDspStartPauseMs + kCodeDownloadBoundMs;
    const int64_t updateBoundMs = kCodeDownloadBoundMs + kRestoreBoundMs;
    // clang-format off
    return {
        // name, radio, run, success, failure, sends checked, unsolicited, bound, endings...
        {"VersionQuery", PlainRadio, RunVersionQuery, 1, QueryFailure, SendsUnchecked,
         IgnoresUnsolicited, timing::kQueryTimeoutMs, {}, true},
        {"RadioInfoQuery", PlainRadio, RunRadioInfo, 1, RadioInfoFailure, SendsUnchecked,
         IgnoresUnsolicited, timing::kShortQueryTimeoutMs, {}, true},
        {"CodeDownload", PlainRadio, RunCodeDownload, kDownloadOk, DownloadFailure,
         SendsUnchecked, IgnoresUnsolicited, kCodeDownloadBoundMs, {}, true, true, CodeStatus},
        {"CodeDownloadPortMode", PlainRadio, RunCodeDownloadPortMode, kDownloadOk,
         PortModeDownloadFailure, SendsUnchecked, IgnoresUnsolicited, kCodeDownloadBoundMs, {},
         true, true, CodeStatus},
        {"DspDownload", PlainRadio, RunDspDownload, kDownloadOk, DownloadFailure,
         SendsUnchecked, IgnoresUnsolicited, dspBoundMs, {}, true, true, DspStatus},
        {"CodeplugUpload", ProtectedCodeplugRadio, RunUpload, 1, TransferFailure, SendsChecked,
         TransferUnsolicited, timing::kCodeplugReplyTimeoutMs, {end}, true, true, nullptr, true},
        {"CodeplugDownload", ProtectedCodeplugRadio, RunDownload, 1, TransferFailure,
         SendsChecked, TransferUnsolicited, timing::kCodeplugReplyTimeoutMs, {end}, true, true,
         nullptr, true, true},
        {"ResetRestore", ProtectedCodeplugRadio, RunRestore, kRestoreWritten, RestoreFailure,
         CodeplugSendsChecked, RestoreUnsolicited, kRestoreBoundMs, {}, false, true, nullptr,
         false, true},
        {"ConsoleUpdate", OpenCodeplugRadio, RunConsoleUpdate, 0, ConsoleFailure,
         CodeplugSendsChecked, ConsoleUnsolicited, updateBoundMs, {}, false, false, nullptr,
         false, true},
    };
    // clang-format on
}

// ---- the far ends ----

struct FarEndCase {
    const char* name;
    FarEndKind kind;  // silence, hang-ups and unsolicited frames: at every exchange in turn
    Bytes message;
    int64_t margin = 0;  // Delay: + outside the time-out, - inside
};

std::vector<FarEndCase> FarEnds() {
    return {
        {"VirtualRadio", FarEndKind::Faithful, {}},
        {"SilentFromEachExchange", FarEndKind::Silent, {}},
        {"HangUpEofAtEachExchange", FarEndKind::HangUpEof, {}},
        {"HangUpEioAtEachExchange", FarEndKind::HangUpEio, {}},
        {"GarbageBytes", FarEndKind::Garbage, {}},
        {"NoiseBeforeEachAnswer", FarEndKind::Noise, {}},
        {"EchoOfEveryByte", FarEndKind::Echo, {}},
        {"ReplyJustInsideTimeOut", FarEndKind::Delay, {}, -kDelayMarginMs},
        {"ReplyJustOutsideTimeOut", FarEndKind::Delay, {}, kDelayMarginMs},
        {"Unsolicited0725AtEachExchange", FarEndKind::Unsolicited, {0x07, 0x25}},
        {"Unsolicited0903AtEachExchange", FarEndKind::Unsolicited, {0x09, 0x03, 0x00, 0x00}},
        {"Flood020A", FarEndKind::Flood, {0x02, 0x0A}},
        {"Flood0725", FarEndKind::Flood, {0x07, 0x25}},
        {"Flood0308", FarEndKind::Flood, {0x03, 0x08}},
        {"Flood0303", FarEndKind::Flood, {0x03, 0x03, 0x00, 0x00}},
        {"Flood0903", FarEndKind::Flood, {0x09, 0x03, 0x00, 0x00}},
    };
}

// A flood of `message` in `step`: from which frame, its result, the frame whose wait fails, the
// code of the last frame the updater sends (empty: any), and how much longer than the step's own
// waits the bound on passing the message over may take.
struct FloodOutcome {
    size_t from;
    int result;
    size_t failedFrame;
    Bytes last;
    int64_t boundMs = kCountedFloodMs;
};
constexpr size_t kNoFailedWait = std::numeric_limits<size_t>::max();

// The floods of `message` that `step` meets: where it passes the message over, up to a bound;
// everywhere else, from the first exchange.
std::vector<FloodOutcome> Floods(const Step& step, const Frames& frames, const Bytes& message) {
    const std::string name = step.name;
    const bool codeplug = name == "CodeplugUpload" || name == "CodeplugDownload";
    const bool restartNotice = Is(message, 0x07, 0x25);
    const Bytes end{0x03, 0x04};
    if ((codeplug && (restartNotice || Is(message, 0x09, 0x03))) ||
        (restartNotice && name == "ResetRestore")) {
        // The password exchange skips the restart message and control-head updates, a bounded
        // number of times, then ends with 03 04.
        const size_t from = FirstIndex(frames, 0x03, name == "CodeplugDownload" ? 0x00 : 0x07);
        const int result = name == "ResetRestore" ? int{kRestoreUploadFailed} : kFailed;
        return {{from, result, from, end}};
    }
    if (Is(message, 0x03, 0x08) && name == "CodeplugUpload") {
        // The upload ignores a request for the next block while it waits for a block, a
        // bounded number of times, then ends with 03 04.
        const size_t from = FirstIndex(frames, 0x03, 0x08);
        return {{from, kFailed, from, end}};
    }
    if (Is(message, 0x03, 0x03) && name == "CodeplugDownload") {
        // Each checksum question is answered (after the first, the sum restarts at 0 and
        // matches), a bounded number of times since the last block; then the download stops
        // without 03 04, which the radio would take for the end of the image.
        return {{FirstIndex(frames, 0x03, 0x02), kFailed, kNoFailedWait, {0x03, 0x05}}};
    }
    if (Is(message, 0x09, 0x03) && (name == "ResetRestore" || name == "ConsoleUpdate")) {
        // The restarted radio's control heads: each message starts another wait, a bounded
        // number of times; the restore's queries then pass the messages over until their
        // time-outs, and no upload starts.
        const size_t from = name == "ResetRestore" ? 0 : LastIndex(frames, 0x09, 0x00);
        const int result = name == "ResetRestore" ? int{kRestoreNoAnswer} : 1;
        return {{from, result, from, {0x04, 0x1C}}};
    }
    if (name == "RadioInfoQuery") {
        return {{0, 1, frames.size(), {}}};  // the radio information takes any frame
    }
    if (Is(message, 0x02, 0x0A) && name == "CodeDownloadPortMode") {
        // Port mode sends the start, or the second block of a pair, again on every negative
        // reply, for a bounded time: every frame answers a refusal, and no wait fails before
        // the last.
        const int64_t boundMs = timing::kMaxRefusalMs + timing::kDownloadReplyTimeoutMs;
        const size_t block = FirstIndex(frames, 0x02, 0x09, FirstIndex(frames, 0x02, 0x09) + 1);
        return {{0, kDownloadTimedOut, kNoFailedWait, {0x02, 0x01}, boundMs},
                {block, kDownloadTimedOut, kNoFailedWait, {0x02, 0x09}, boundMs}};
    }
    if (Is(message, 0x02, 0x0A) && (name == "CodeDownload" || name == "DspDownload")) {
        // In device mode a negative reply acknowledges the start; a block needs its address.
        return {{0, kDownloadTimedOut, FirstIndex(frames, 0x02, 0x09), {}}};
    }
    const size_t j = FirstAnswered(frames, 0);
    return {{0, step.failureAt(frames, j), j, {}}};
}

// ---- one case ----

struct Outcome {
    int result = 0;
    int64_t startMs = 0;
    int64_t endMs = 0;
    int64_t faultMs = -1;
    Frames frames;
    bool lineOpenAtEnd = false;  // the step left the line open when it returned
    bool lineFreed = false;
    bool sentAfterEnd = false;
    bool folderEmpty = false;
    int openings = 0;
    std::string status;
    bool activeAtEnd = false;
    int codeplugsStored = 0;
    size_t codeplugBytes = 0;  // what the radio holds as its codeplug at the end
};

Outcome RunCase(const Step& step, FarEndPlan plan) {
    Outcome out;
    OwnWorkingFolder folder;
    sim::testing::TempDir backups;
    {
        Rig rig(step.config(), std::move(plan));
        rig.backups = backups.Path();
        out.startMs = rig.pump.NowMs();
        out.result = step.run(rig);
        out.endMs = rig.pump.NowMs();
        out.lineOpenAtEnd = rig.farEnd.IsOpen();
        out.activeAtEnd = rig.Session().Active();
        out.status = rig.status.last;
        out.codeplugsStored = rig.radio.Radio().Codeplug().DownloadsCompleted();
        out.codeplugBytes = rig.radio.Radio().Codeplug().Memory().size();
        rig.Session().Close();
        out.lineFreed = !rig.farEnd.IsOpen();
        const int64_t sent = rig.farEnd.BytesFromUpdater();
        rig.pump.Advance(kWatchAfterEndMs);
        out.sentAfterEnd = rig.farEnd.BytesFromUpdater() != sent;
        out.faultMs = rig.farEnd.FaultStartMs();
        out.frames = rig.farEnd.Frames();
        out.openings = rig.farEnd.Openings();
    }
    out.folderEmpty = std::filesystem::is_empty(folder.Path());
    return out;
}

// The frames the updater sent, with their times, for a failure message.
std::string Transcript(const Outcome& out) {
    std::ostringstream text;
    text << "start " << out.startMs << " fault " << out.faultMs << " end " << out.endMs << "\n";
    for (size_t i = 0; i < out.frames.size(); ++i) {
        const SentFrame& f = out.frames[i];
        char code[16];
        std::snprintf(code, sizeof code, "%02X %02X", f.payload.size() > 0 ? f.payload[0] : 0,
                      f.payload.size() > 1 ? f.payload[1] : 0);
        text << i << ": " << code << " at " << f.atMs << (f.answered ? "" : " (no answer)") << "\n";
    }
    return text.str();
}

// The result, with what the step shows for it and leaves in the radio, when the wait after
// frame j failed (out.frames.size(): none did).
void ExpectResult(const Step& step, const Outcome& out, int expected, size_t j) {
    EXPECT_EQ(out.result, expected) << Transcript(out);
    if (step.statusFor != nullptr) {
        EXPECT_EQ(out.status, step.statusFor(out.frames, j, out.result));
    }
    if (step.clearsActive) {
        EXPECT_FALSE(out.activeAtEnd);
    }
    // A failed step never leaves a codeplug behind, and none is cut short. (A radio that misses
    // the closing 03 04 of a download cannot tell the updater, which then reports success.)
    if (step.writesCodeplug) {
        EXPECT_LE(out.codeplugsStored, out.result == step.success ? 1 : 0);
        EXPECT_GE(out.codeplugBytes, RadioCodeplug(0x0509).size()) << "the radio's codeplug";
    }
}

// What every case must leave behind: no bytes sent once it has ended, no files, the line closed
// by whoever owns it.
void ExpectTidyEnd(const Step& step, const Outcome& out) {
    EXPECT_FALSE(out.sentAfterEnd) << "sent after the end";
    EXPECT_TRUE(out.folderEmpty) << "files left behind";
    EXPECT_TRUE(out.lineFreed) << "the line stayed open";
    EXPECT_EQ(out.lineOpenAtEnd, step.leavesLineOpen) << "the line is not the caller's to close";
    EXPECT_EQ(out.openings, 1);
}

// A case that fails: its result, within the time-outs from the moment the far end failed, and
// nothing but the documented ending after the failed wait of `failedFrame`.
void ExpectEndsClean(const Step& step, const Outcome& out, int expected, size_t failedFrame) {
    ExpectResult(step, out, expected, failedFrame);
    const int64_t from = out.faultMs >= 0 ? out.faultMs : out.startMs;
    EXPECT_LE(out.endMs - from, step.boundMs + kSlackMs) << "ended later than its time-outs";
    ExpectTidyEnd(step, out);
    if (step.endingsChecked && failedFrame < out.frames.size()) {
        for (size_t i = failedFrame + 1; i < out.frames.size(); ++i) {
            bool allowed = false;
            for (const Bytes& ending : step.endings) {
                allowed = allowed || Is(out.frames[i], ending[0], ending[1]);
            }
            EXPECT_TRUE(allowed) << "frame " << i << " sent after the failed wait of frame "
                                 << failedFrame;
        }
    }
}

using Param = std::tuple<size_t, size_t>;

class FarEndSuite : public ::testing::TestWithParam<Param> {
protected:
    const Step& TheStep() const { return steps_[std::get<0>(GetParam())]; }
    const FarEndCase& TheFarEnd() const { return farEnds_[std::get<1>(GetParam())]; }

    std::vector<Step> steps_ = Steps();
    std::vector<FarEndCase> farEnds_ = FarEnds();
};

TEST_P(FarEndSuite, EndsWithItsDocumentedResult) {
    const Step& step = TheStep();
    const FarEndCase& c = TheFarEnd();
    const Outcome faithful = RunCase(step, {});
    ASSERT_EQ(faithful.result, step.success) << "against the virtual radio";
    const Frames& frames = faithful.frames;
    ASSERT_FALSE(frames.empty());
    RecordProperty("exchanges", static_cast<int>(frames.size()));

    FarEndPlan plan;
    plan.kind = c.kind;
    plan.message = c.message;
    switch (c.kind) {
        case FarEndKind::Faithful:
            ExpectEndsClean(step, faithful, step.success, frames.size());
            EXPECT_EQ(faithful.codeplugsStored, step.writesCodeplug ? 1 : 0);
            return;
        case FarEndKind::Silent:
        case FarEndKind::HangUpEof:
        case FarEndKind::HangUpEio:
            for (size_t k = 0; k <= frames.size(); ++k) {
                SCOPED_TRACE("from exchange " + std::to_string(k));
                plan.fromExchange = static_cast<int>(k);
                const bool failsAtOnce = c.kind == FarEndKind::HangUpEio && k < frames.size() &&
                                         step.sendChecked(frames, k);
                const size_t j = failsAtOnce ? k : FirstAnswered(frames, k);
                const int expected = j < frames.size() ? step.failureAt(frames, j) : step.success;
                const Outcome out = RunCase(step, plan);
                ExpectEndsClean(step, out, expected, j);
                if (c.kind != FarEndKind::HangUpEio && j < frames.size()) {
                    // A radio that stops answering is waited for the whole time-out.
                    EXPECT_GE(out.endMs - out.faultMs, ReplyTimeoutAfter(frames[j].payload));
                }
            }
            return;
        case FarEndKind::Garbage:
        case FarEndKind::Delay: {
            const bool late = c.margin > 0;
            if (c.kind == FarEndKind::Delay) {
                plan.delayAfter = [margin = c.margin](const Bytes& last) {
                    return ReplyTimeoutAfter(last) + margin;
                };
            }
            const size_t j = FirstAnswered(frames, 0);
            const bool fails = c.kind == FarEndKind::Garbage || late;
            const Outcome out = RunCase(step, plan);
            if (fails) {
                ExpectEndsClean(step, out, step.failureAt(frames, j), j);
            } else {
                ExpectResult(step, out, step.success, out.frames.size());
                ExpectTidyEnd(step, out);
            }
            return;
        }
        case FarEndKind::Noise:
        case FarEndKind::Echo: {
            const Outcome out = RunCase(step, plan);
            ExpectResult(step, out, step.success, out.frames.size());
            ExpectTidyEnd(step, out);
            return;
        }
        case FarEndKind::Unsolicited: {
            for (size_t k = 0; k < frames.size(); ++k) {
                SCOPED_TRACE("after exchange " + std::to_string(k));
                plan.fromExchange = static_cast<int>(k);
                const Outcome out = RunCase(step, plan);
                const size_t j = FirstAnswered(frames, k);
                ExpectResult(step, out, step.unsolicitedAt(frames, k, j, c.message), j);
                ExpectTidyEnd(step, out);
                EXPECT_LE(out.endMs - out.faultMs, step.boundMs + kSlackMs);
            }
            return;
        }
        case FarEndKind::Flood: {
            for (const FloodOutcome& flood : Floods(step, frames, c.message)) {
                SCOPED_TRACE("from exchange " + std::to_string(flood.from));
                plan.fromExchange = static_cast<int>(flood.from);
                Step bounded = step;
                bounded.boundMs += flood.boundMs;
                // Well past the bound the far end falls silent: a case without one ends late.
                plan.giveUpAtMs = 4 * (bounded.boundMs + kCodeDownloadBoundMs + kRestoreBoundMs);
                const Outcome out = RunCase(step, plan);
                ExpectEndsClean(bounded, out, flood.result, flood.failedFrame);
                if (!flood.last.empty()) {
                    ASSERT_FALSE(out.frames.empty());
                    EXPECT_TRUE(Is(out.frames.back(), flood.last[0], flood.last[1]))
                        << Transcript(out);
                }
            }
            return;
        }
    }
}

std::string CaseName(const ::testing::TestParamInfo<Param>& info) {
    return std::string(Steps()[std::get<0>(info.param)].name) + "_" +
           FarEnds()[std::get<1>(info.param)].name;
}

INSTANTIATE_TEST_SUITE_P(FarEnd, FarEndSuite,
                         ::testing::Combine(::testing::Range<size_t>(0, Steps().size()),
                                            ::testing::Range<size_t>(0, FarEnds().size())),
                         CaseName);

}  // namespace
}  // namespace quillon::test
