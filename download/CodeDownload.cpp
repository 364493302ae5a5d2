#include "download/CodeDownload.h"

#include <algorithm>
#include <string>

#include "download/BlockSender.h"
#include "download/CancelWatch.h"
#include "download/SRecordCheck.h"
#include "download/SRecordReader.h"
#include "link/MessageCodes.h"
#include "link/ProtocolTiming.h"

namespace quillon {

using namespace loader;

namespace {

constexpr uint8_t kProcessor416 = 4;
constexpr uint8_t kProcessor816 = 8;
constexpr char kDoneText[] = "100% complete...Done.\n";

const char* ImageWord(ImageKind kind) {
    switch (kind) {
        case ImageKind::kLoader:
            return "Loader ";
        case ImageKind::kBoot:
            return "Bootloader ";
        default:
            return "Application ";
    }
}

// The processor reply carries the code in its second data byte (the byte after the message
// code's two bytes and the first data byte).
bool ProcessorMatches(const DownloadContext& context, bool processor416) {
    CommSession& link = context.link;
    link.SendCode2(kFamily, kProcessorQuery, nullptr, 0);
    if (context.Cancelled()) {
        return false;
    }
    link.SetActive(true);
    CommMessage reply;
    if (link.Receive(reply) != 1 || !reply.HasCode(kFamily, kProcessorReply) || reply.Length < 4) {
        return false;
    }
    return reply.Data[3] == (processor416 ? kProcessor416 : kProcessor816);
}

// Sleeps through the erase in slices, so a cancel ends it promptly; `text` (when not empty) is
// the step's status, shown once the step has begun. False when cancelled.
bool WaitErase(const DownloadContext& context, int ticks, const char* text) {
    const int64_t total = timing::TicksToMs(ticks);
    context.report.BeginStep("erase", total);
    if (text[0] != '\0') {
        context.report.Status(text);
    }
    const int64_t start = context.pump.NowMs();
    for (;;) {
        const int64_t elapsed = context.pump.NowMs() - start;
        context.report.Advance(std::min(elapsed, total), total);
        if (context.Cancelled()) {
            return false;
        }
        if (elapsed >= total) {
            return true;
        }
        context.pump.SleepMs(
            static_cast<int>(std::min<int64_t>(total - elapsed, timing::kCancelPollMs)));
    }
}

}  // namespace

bool ImagesSound(const DownloadContext& context,
                 std::initializer_list<std::pair<const char*, ImageToCheck>> images) {
    for (const auto& [name, image] : images) {
        SRecordFault fault;
        if (!CheckSRecordImage(image.stream, fault, image.mode)) {
            context.report.Status(
                std::string(name) + " image not sent: " +
                (fault.line == 0 ? "" : "line " + std::to_string(fault.line) + ": ") +
                fault.reason);
            return false;
        }
    }
    return true;
}

int64_t StreamSize(std::istream& in) {
    const auto here = in.tellg();
    if (here < 0) {
        in.clear();
        return 0;
    }
    in.seekg(0, std::ios::end);
    const auto end = in.tellg();
    in.seekg(here);
    if (end < 0 || !in) {
        in.clear();
        in.seekg(here);
        return 0;
    }
    return static_cast<int64_t>(end - here);
}

EraseWait EraseWaitFor(uint8_t radioType, bool bootCode) {
    if (radioType == 1 || bootCode) {
        return {timing::kEraseTicksShort, ""};
    }
    if (radioType == 4) {
        return {timing::kEraseTicks40s, "Erasing flash (40 seconds)..."};
    }
    if (radioType == 0 || radioType == 8) {
        return {timing::kEraseTicks2s, "Erasing flash (2 seconds)..."};
    }
    return {timing::kEraseTicksDefault, "Erasing flash (80 seconds)..."};
}

int SendImage(const DownloadContext& context, std::istream& image, ImageKind kind,
              bool consoleProgress, std::string* progressText, const ImageOptions& options) {
    CommSession& link = context.link;
    const int64_t maximum = StreamSize(image) / 4 + 64;
    const int64_t imageBytes = CountDataBytes(image, options.mode);
    context.report.BeginStep(kind == ImageKind::kLoader ? "loader" : "code", maximum);

    // Start handshake: in port mode a negative reply asks for the start again, but not for ever.
    int which = -1;
    int status = kReplyWaitEnded;
    const CommMessage ack = CommMessage::FromCode(kFamily, kAcknowledge);
    const CommMessage negative = CommMessage::FromCode(kFamily, kNegative);
    const int64_t giveUpAt = context.pump.NowMs() + timing::kMaxRefusalMs;
    do {
        if (context.pump.NowMs() >= giveUpAt) {
            status = kReplyWaitEnded;
            break;
        }
        link.SendCode2(kFamily, kImageStart, nullptr, 0);
        if (context.Cancelled()) {
            status = kReplyWaitEnded;
            break;
        }
        link.SetActive(true);
        link.ReceiveReply(ack, 2, negative, 2, which);
        status = context.Cancelled() ? kReplyWaitEnded : link.ReplyStatus();
    } while (options.askAgainWhenRefused && status == 1 && which == 1 && link.PortMode() &&
             link.Active());
    if (status != 1) {
        context.report.Status(DownloadResultText(status));
        return status;
    }

    const std::string text = std::string("Downloading ") + ImageWord(kind) + "code...";
    if (progressText != nullptr) {
        *progressText = text;
    }
    context.report.Status(text);
    BlockSender sender(context, BlockSender::Style::kCode);
    sender.Start(maximum, text, consoleProgress, imageBytes);

    SRecordReader reader(image, options.mode);
    SRecordReader::Record record;
    bool pending = false;  // a data byte waiting for its partner (records of odd length)
    uint8_t pendingByte = 0;
    while (sender.Good() && reader.Next(record)) {
        sender.AddProgress(record.weight);
        int i = 0;
        if (pending && record.size > 0) {
            sender.PutWord(pendingByte, record.data[0]);
            pending = false;
            i = 1;
        }
        for (; i + 1 < record.size && sender.Good(); i += 2) {
            sender.PutWord(record.data[static_cast<size_t>(i)],
                           record.data[static_cast<size_t>(i + 1)]);
        }
        if (i < record.size) {
            pending = true;
            pendingByte = record.data[static_cast<size_t>(i)];
        }
    }
    if (sender.Good() && pending) {
        sender.PutWord(pendingByte, 0xFF);
    }
    if (sender.Good()) {
        sender.Close();
    }
    if (sender.Good()) {
        link.SendCode2(kFamily, kImageEnd, nullptr, 0);
        if (kind != ImageKind::kLoader) {
            link.SetRadioBaud(timing::kCodeLinkSpeed);
        }
    }

    int result = sender.Result();
    if (result == kDownloadVerifyFailed) {
        return result;  // its text is on the status line
    }
    if (result == kDownloadTimedOut && sender.ChecksumResendsUsedUp()) {
        context.report.Status(kTimedOutText);
        return result;
    }
    if (result == 1 && context.Cancelled()) {
        result = kDownloadTimedOut;
    }
    if (result != 1) {
        context.report.Status(DownloadResultText(result));
    }
    return result;
}

int DownloadCode(const DownloadContext& context, std::istream& loader, std::istream& code,
                 uint8_t radioType, bool bootCode, bool processor416, bool consoleProgress) {
    CancelWatch watch(context);
    // Nothing goes out unless both images are whole: a short image would erase the flash and
    // leave it half written.
    if (!ImagesSound(context, {{"Loader", {loader}}, {"Code", {code}}})) {
        return kDownloadFileError;
    }
    context.report.Status("Preparing to download ...");
    context.link.SetTimeout(timing::kDownloadReplyTimeoutMs);

    std::string progressText;
    int result = SendImage(context, loader, ImageKind::kLoader, consoleProgress, &progressText);
    bool processorOk = true;
    if (result == 1 && radioType == 1) {
        processorOk = ProcessorMatches(context, processor416);
    }
    if (consoleProgress && result == 1) {
        context.report.Console("\r" + progressText + kDoneText);
    }
    if (!processorOk) {
        return context.Cancelled() ? kDownloadTimedOut : kDownloadWrongProcessor;
    }
    if (result != 1) {
        return result;
    }

    const EraseWait erase = EraseWaitFor(radioType, bootCode);
    if (!WaitErase(context, erase.ticks, erase.text)) {
        context.report.Status(kTimedOutText);
        return kDownloadTimedOut;
    }

    result = SendImage(context, code, bootCode ? ImageKind::kBoot : ImageKind::kApplication,
                       consoleProgress, &progressText);
    if (result == 1) {
        context.report.Status("Download finished.");
        if (consoleProgress) {
            context.report.Console("\r" + progressText + kDoneText);
        }
    }
    return result;
}

int DownloadCode(CommSession& link, std::istream& loader, std::istream& code,
                 ProgressReport& report, uint8_t radioType, bool bootCode, bool processor416,
                 bool consoleProgress, const CancelFlag* cancel, EventPump& pump) {
    return DownloadCode(DownloadContext{link, pump, report, cancel}, loader, code, radioType,
                        bootCode, processor416, consoleProgress);
}

}  // namespace quillon
