#include "download/BlockSender.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "link/MessageCodes.h"
#include "link/ProtocolTiming.h"

namespace quillon {

using namespace loader;

namespace {

constexpr int kBlockLength = 2 + BlockSender::kBlockDataBytes;

}  // namespace

BlockSender::BlockSender(const DownloadContext& context, Style style)
    : context_(context), style_(style) {}

void BlockSender::Start(int64_t progressMaximum, std::string progressText, bool consoleProgress) {
    block_ = CommMessage::FromCode(kFamily, kDataBlock);
    secondOfPair_ = false;
    pairSum_ = 0;
    result_ = 1;
    resendsUsedUp_ = false;
    verifyText_.clear();
    progress_ = 0;
    maximum_ = progressMaximum;
    progressText_ = std::move(progressText);
    consoleProgress_ = consoleProgress;
    blocksSent_ = 0;
}

int64_t BlockSender::ProgressPosition() const {
    return std::clamp<int64_t>(progress_, 0, maximum_);
}

void BlockSender::PutWord(uint8_t low, uint8_t high) {
    if (block_.Length >= kBlockLength) {
        SendBlock();
    }
    block_.Data[block_.Length] = low;
    block_.Data[block_.Length + 1] = high;
    block_.Length += 2;
    pairSum_ = static_cast<uint16_t>(pairSum_ + (low | high << 8));
}

void BlockSender::Close() {
    while (Good() && block_.Length < kBlockLength) {
        PutWord(0xFF, 0xFF);
    }
    SendBlock();
    if (Good() && secondOfPair_) {
        for (int i = 0; i < kBlockDataBytes / 2; ++i) {
            PutWord(0xFF, 0xFF);
        }
        SendBlock();
    }
}

int BlockSender::Wait(uint8_t codeA, int lengthA, uint8_t codeB, int lengthB, int& which,
                      CommMessage& reply) {
    which = -1;
    if (context_.Cancelled()) {
        return kReplyWaitEnded;
    }
    CommSession& link = context_.link;
    link.SetActive(true);
    reply = link.ReceiveReply(CommMessage::FromCode(kFamily, codeA), lengthA,
                              CommMessage::FromCode(kFamily, codeB), lengthB, which);
    return context_.Cancelled() ? kReplyWaitEnded : link.ReplyStatus();
}

void BlockSender::SendOne() {
    context_.link.SendMessage(block_);
    if (style_ == Style::kCode) {
        context_.pump.SleepMs(timing::kBlockPauseMs);
    }
}

// The second block of a pair: the radio's sum, our verdict, its acknowledgement, and for code
// the resends of a pair whose sums differed. Returns false when the transfer ends.
bool BlockSender::ExchangeSecond() {
    CommSession& link = context_.link;
    const int negativeLength = style_ == Style::kCode ? 6 : 2;
    int resends = 0;
    for (;;) {
        int which = -1;
        CommMessage reply;
        int status = Wait(kPairChecksum, 4, kNegative, 2, which, reply);
        while (style_ == Style::kCode && status == 1 && which == 1 && link.PortMode() &&
               link.Active()) {
            SendOne();
            status = Wait(kPairChecksum, 4, kNegative, 2, which, reply);
        }
        if (status != 1) {
            result_ = status;
            return false;
        }
        // A negative reply that ends the resends in device mode carries no sum: it counts as a
        // mismatch, and the pair is sent again.
        const bool sumGood =
            which == 0 && static_cast<uint16_t>(reply.Data[2] << 8 | reply.Data[3]) == pairSum_;
        link.SendCode2(kFamily, sumGood ? kChecksumGood : kChecksumBad, nullptr, 0);
        status = Wait(kAcknowledge, 2, kNegative, negativeLength, which, reply);
        if (status != 1) {
            result_ = status;
            return false;
        }
        if (style_ == Style::kDsp) {
            return true;
        }
        if (which == 1) {
            char address[16];
            std::snprintf(address, sizeof address, "%02X%02X%02X%02X", reply.Data[2], reply.Data[3],
                          reply.Data[4], reply.Data[5]);
            verifyText_ = std::string("Flash Verify failed at address: 0x") + address;
            context_.report.Status(verifyText_);
            result_ = 6;
            return false;
        }
        if (sumGood) {
            return true;
        }
        if (resends == timing::kMaxChecksumResends) {
            resendsUsedUp_ = true;
            result_ = 4;
            return false;
        }
        ++resends;
        if (context_.Cancelled()) {
            result_ = 4;
            return false;
        }
        SendOne();
    }
}

void BlockSender::SendBlock() {
    if (!Good()) {
        return;
    }
    if (context_.Cancelled()) {
        result_ = 4;
        return;
    }
    SendOne();
    if (secondOfPair_) {
        if (!ExchangeSecond()) {
            return;
        }
    } else {
        int which = -1;
        CommMessage reply;
        const int status =
            Wait(kAcknowledge, 2, kNegative, style_ == Style::kCode ? 6 : 2, which, reply);
        if (status != 1) {
            result_ = status;
            return;
        }
    }
    ++blocksSent_;
    secondOfPair_ = !secondOfPair_;
    if (!secondOfPair_) {
        pairSum_ = 0;
    }
    block_ = CommMessage::FromCode(kFamily, kDataBlock);
    progress_ += kProgressPerBlock;
    const int64_t position = ProgressPosition();
    context_.report.Advance(position, maximum_);
    if (consoleProgress_ && maximum_ > 0) {
        context_.report.Console("\r" + progressText_ + std::to_string(position * 100 / maximum_) +
                                "% complete");
    }
}

}  // namespace quillon
