#include "download/DspDownload.h"

#include <algorithm>
#include <array>
#include <string>

#include "download/BlockSender.h"
#include "download/CancelWatch.h"
#include "download/CodeDownload.h"
#include "download/CoffReader.h"
#include "download/PageFiles.h"
#include "link/MessageCodes.h"
#include "link/ProtocolTiming.h"

namespace quillon {

using namespace loader;

namespace {

constexpr size_t kPieceBytes = 32000;
constexpr int64_t kPieceWords = 16000;

// Sends a code and waits for `reply` or a negative reply; the wait's status.
int Exchange(const DownloadContext& context, uint8_t code, uint8_t reply) {
    CommSession& link = context.link;
    link.SendCode2(kFamily, code, nullptr, 0);
    if (context.Cancelled()) {
        return kReplyWaitEnded;
    }
    link.SetActive(true);
    int which = -1;
    link.ReceiveReply(CommMessage::FromCode(kFamily, reply), 2,
                      CommMessage::FromCode(kFamily, kNegative), 2, which);
    return context.Cancelled() ? kReplyWaitEnded : link.ReplyStatus();
}

int Fail(const DownloadContext& context, int result, const std::string& text) {
    context.report.Status(text);
    return result;
}

// Copies the sections of the pages that are sent into their page files, in 32000-byte pieces.
bool CopySections(std::istream& dsp, const std::vector<CoffSection>& sections, PageFiles& pages) {
    std::array<uint8_t, kPieceBytes> piece{};
    for (const CoffSection& section : sections) {
        if (!PageIsSent(section.page)) {
            continue;
        }
        int64_t remaining = section.sizeWords;
        uint64_t from = section.dataOffset;
        uint64_t to = 2ull * section.loadAddress;
        while (remaining >= 0) {
            const size_t count = static_cast<size_t>(
                std::min<int64_t>(2 * remaining, static_cast<int64_t>(kPieceBytes)));
            dsp.clear();
            dsp.seekg(static_cast<std::streamoff>(from));
            dsp.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(count));
            if (static_cast<size_t>(dsp.gcount()) != count ||
                !pages.Write(section.page, to, piece.data(), count)) {
                return false;
            }
            remaining -= kPieceWords;
            from += kPieceBytes;
            to += kPieceBytes;
        }
    }
    return true;
}

// One page through the block builder; false when the page file could not be read.
bool SendPage(BlockSender& sender, PageFiles& pages, int page, int number, int usedPages,
              const DownloadContext& context) {
    const int64_t size = pages.Size(page);
    if (size < 0 || !pages.Rewind(page)) {
        return false;
    }
    const std::string text = DspPageText(number, usedPages);
    context.report.BeginStep("page " + std::to_string(number), size / 2 + 128);
    sender.Start(size / 2 + 128, text, false, size);
    context.report.Status(text);
    std::array<uint8_t, kPieceBytes> piece{};
    int64_t left = size;
    while (left > 0 && sender.Good()) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(left, kPieceBytes));
        const size_t got = pages.Read(page, piece.data(), want);
        if (got != want) {
            return false;
        }
        for (size_t i = 0; i + 1 < got && sender.Good(); i += 2) {
            sender.PutWord(piece[i], piece[i + 1]);
        }
        if (got % 2 != 0 && sender.Good()) {
            sender.PutWord(piece[got - 1], 0xFF);
        }
        left -= static_cast<int64_t>(got);
    }
    if (sender.Good()) {
        sender.Close();
    }
    return true;
}

}  // namespace

std::string DspPageText(int number, int usedPages) {
    return "Downloading page " + std::to_string(number) + " of " + std::to_string(usedPages) +
           " from input DSP file ...";
}

int DownloadDsp(const DownloadContext& context, std::istream& loader, std::istream& dsp,
                const std::vector<std::filesystem::path>& pageFolders) {
    CancelWatch watch(context);
    context.link.SetTimeout(timing::kDownloadReplyTimeoutMs);

    // Everything that can fail without the radio fails before anything goes to it: the loader
    // is checked whole and the page files are built, so the radio is never left in its loader
    // for want of them.
    std::vector<CoffSection> sections;
    std::string error;
    if (!ReadCoffSections(dsp, sections, error)) {
        return Fail(context, kDownloadFileError, error);
    }
    if (!ImagesSound(context, {{"Loader", {loader, SRecordReader::Mode::kFixedS3}}})) {
        return kDownloadFileError;
    }
    PageFiles pages;
    if (!pages.Create(pageFolders)) {
        return Fail(context, kDownloadFileError, "The DSP page files cannot be created.");
    }
    if (!CopySections(dsp, sections, pages) || !pages.Flush()) {
        return Fail(context, kDownloadFileError, "The DSP page files cannot be written.");
    }

    const ImageOptions loaderOptions{SRecordReader::Mode::kFixedS3, false};
    const int loaded =
        SendImage(context, loader, ImageKind::kLoader, false, nullptr, loaderOptions);
    if (loaded != kDownloadOk) {
        return loaded;
    }
    context.pump.SleepMs(timing::kDspStartPauseMs);

    context.report.Status("Preparing to download ...");
    int status = Exchange(context, kDspImageStart, kAcknowledge);
    if (status != kReplyReceived) {
        return Fail(context, status, DspResultText(status));
    }

    BlockSender sender(context, BlockSender::Style::kDsp);
    sender.Start(0, {}, false);

    const int usedPages = pages.UsedCount();
    int number = 0;
    for (int page = 0; page < kPageCount; ++page) {
        if (!pages.Used(page)) {
            continue;
        }
        ++number;
        if (!SendPage(sender, pages, page, number, usedPages, context)) {
            return Fail(context, kDownloadFileError, "The DSP page files cannot be read.");
        }
        if (!sender.Good()) {
            return Fail(context, sender.Result(), DspResultText(sender.Result()));
        }
        status = Exchange(context, kPageEnd, kPageAcknowledge);
        if (status != kReplyReceived) {
            return Fail(context, status, DspResultText(status));
        }
    }
    context.link.SendCode2(kFamily, kImageEnd, nullptr, 0);
    context.report.Status("Download finished");
    return kDownloadOk;
}

}  // namespace quillon
