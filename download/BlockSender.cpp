#include "download/BlockSender.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
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

void BlockSender::Start(int64_t progressMaximum, std::string progressText, bool consoleProgress,
                        int64_t imageBytes) {
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
    imageBytes_ = imageBytes;
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

// A negative reply in port mode asks for the block again, for as long as the loader keeps
// refusing but not for ever. Returns the status of the last wait.
int BlockSender::ResendWhileRefused(int status, int& which, CommMessage& reply) {
    CommSession& link = context_.link;
    const int64_t giveUpAt = context_.pump.NowMs() + timing::kMaxRefusalMs;
    while (style_ == Style::kCode && status == 1 && which == 1 && link.PortMode() &&
           link.Active()) {
        if (context_.pump.NowMs() >= giveUpAt) {
            return kReplyWaitEnded;
        }
        SendOne();
        status = Wait(kPairChecksum, 4, kNegative, 2, which, reply);
    }
    return status;
}

// The first of `expected` (second code byte and payload length) within one reply time-out;
// other frames are dropped. `which` is its index in `expected`, -1 when none came.
int BlockSender::WaitAny(std::initializer_list<Expected> expected, int& which, CommMessage& reply) {
    which = -1;
    CommSession& link = context_.link;
    const uint32_t timeoutMs = link.TimeoutMs();
    const int64_t deadline = context_.pump.NowMs() + timeoutMs;
    int status = kReplyWaitEnded;
    for (;;) {
        const int64_t left = deadline - context_.pump.NowMs();
        if (context_.Cancelled() || left <= 0) {
            status = kReplyWaitEnded;
            break;
        }
        link.SetTimeout(static_cast<uint32_t>(left));
        link.SetActive(true);
        reply = link.ReceiveAnyFrame();
        status = context_.Cancelled() ? kReplyWaitEnded : link.ReplyStatus();
        if (status != kReplyReceived) {
            break;
        }
        int index = 0;
        for (const Expected& e : expected) {
            if (reply.Length == e.payloadLength && reply.HasCode(kFamily, e.code)) {
                which = index;
                break;
            }
            ++index;
        }
        if (which >= 0) {
            break;
        }
    }
    link.SetTimeout(timeoutMs);
    return status;
}

void BlockSender::VerifyFailure(const CommMessage& reply) {
    char address[16];
    std::snprintf(address, sizeof address, "%02X%02X%02X%02X", reply.Data[2], reply.Data[3],
                  reply.Data[4], reply.Data[5]);
    verifyText_ = std::string("Flash Verify failed at address: 0x") + address;
    context_.report.Status(verifyText_);
    result_ = 6;
}

// The second block of a pair: the radio's sum, our verdict, its acknowledgement, and for code
// the resends of a pair whose sums differed. Returns false when the transfer ends.
//
// Loaders answer a resent block in one of two ways: with a fresh sum of the pair (02 02), which
// is compared again, or with an acknowledgement alone (02 07), after which the block is sent
// again, up to four resends in all.
bool BlockSender::ExchangeSecond() {
    CommSession& link = context_.link;
    const int negativeLength = style_ == Style::kCode ? 6 : 2;
    int resends = 0;
    int which = -1;
    CommMessage reply;
    int status = Wait(kPairChecksum, 4, kNegative, 2, which, reply);
    for (;;) {
        status = ResendWhileRefused(status, which, reply);
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
            VerifyFailure(reply);
            return false;
        }
        if (sumGood) {
            return true;
        }
        // Resend until the radio sums the pair again (or refuses it), or the resends run out.
        enum { kAcknowledged, kSummed, kVerifyFailed, kRefused };
        do {
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
            status =
                WaitAny({{kAcknowledge, 2}, {kPairChecksum, 4}, {kNegative, 6}, {kNegative, 2}},
                        which, reply);
        } while (status == 1 && which == kAcknowledged);
        if (status != 1) {
            result_ = status;
            return false;
        }
        if (which == kVerifyFailed) {
            VerifyFailure(reply);
            return false;
        }
        // Back to the numbering of the sum wait: 0 a sum, 1 a negative reply.
        which = which == kSummed ? 0 : 1;
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
    // The blocks that close the image carry filler, not image bytes.
    const int64_t sent = blocksSent_ * kBlockDataBytes;
    context_.report.Bytes(imageBytes_ > 0 ? std::min(sent, imageBytes_) : sent, imageBytes_);
    context_.report.Advance(position, maximum_);
    if (consoleProgress_ && maximum_ > 0) {
        context_.report.Console("\r" + progressText_ + std::to_string(position * 100 / maximum_) +
                                "% complete");
    }
}

}  // namespace quillon
