#include "tests/farend/FarEnd.h"

#include <algorithm>
#include <utility>

#include "link/FrameFormat.h"
#include "sim/RadioFramer.h"

namespace quillon::test {

namespace {

// Noise bytes before each answer, and the gap between two frames of a flood.
constexpr int kNoiseBytes = 24;
constexpr int64_t kFloodGapMs = 5;
// A flood stops topping up the line while this many bytes wait unread.
constexpr size_t kFloodBacklog = 4096;

}  // namespace

FarEnd::FarEnd(VirtualEventPump& pump, FarEndPlan plan) : pump_(pump), plan_(std::move(plan)) {
    wakeHandle_ = pump_.AddWakeSource([this] { return NextEventMs(); });
    triggered_ = plan_.fromExchange <= 0;
    if (triggered_ && plan_.kind == FarEndKind::Flood) {
        nextFloodMs_ = pump_.NowMs();
    }
}

FarEnd::~FarEnd() {
    pump_.RemoveWakeSource(wakeHandle_);
}

Bytes FarEnd::RadioFrame(const Bytes& payload) {
    return sim::RadioFramer::BuildReply(payload);
}

void FarEnd::Open(std::unique_ptr<RadioSide> radio) {
    radio_ = std::move(radio);
    open_ = true;
    openedAtMs_ = pump_.NowMs();
    ++openings_;
}

void FarEnd::Close() {
    open_ = false;
    radio_.reset();
}

bool FarEnd::Cut() const {
    if (pump_.NowMs() >= plan_.giveUpAtMs) {
        return true;
    }
    switch (plan_.kind) {
        case FarEndKind::Silent:
        case FarEndKind::HangUpEof:
        case FarEndKind::HangUpEio:
            return triggered_;
        default:
            return false;
    }
}

bool FarEnd::AtEnd() const {
    return plan_.kind == FarEndKind::HangUpEof && triggered_;
}

bool FarEnd::Failed() const {
    return plan_.kind == FarEndKind::HangUpEio && triggered_;
}

void FarEnd::MarkFault() {
    if (faultStartMs_ < 0) {
        faultStartMs_ = pump_.NowMs();
    }
}

int FarEnd::Write(const uint8_t* bytes, int count) {
    if (!open_ || count < 0) {
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b == frame::kStart) {
            if (!inFrame_ && static_cast<int>(frames_.size()) == plan_.fromExchange &&
                !triggered_) {
                triggered_ = true;
                if (plan_.kind == FarEndKind::Flood) {
                    nextFloodMs_ = pump_.NowMs();
                }
            }
            inFrame_ = true;
            current_.clear();
            continue;
        }
        if (inFrame_) {
            if (b == frame::kEnd) {
                inFrame_ = false;
                FrameEnded();
            } else {
                current_.push_back(b);
            }
        }
    }
    if (Failed()) {
        MarkFault();
        return -1;
    }
    bytesFromUpdater_ += count;
    if (Cut()) {
        MarkFault();
        toUpdater_.clear();
        return count;
    }
    if (plan_.kind == FarEndKind::Echo) {
        for (int i = 0; i < count; ++i) {
            Deliver(bytes[i], pump_.NowMs());
        }
    }
    if (radio_ && !(plan_.kind == FarEndKind::Flood && triggered_)) {
        radio_->Write(bytes, count);
    }
    return count;
}

void FarEnd::FrameEnded() {
    Bytes unstuffed(current_.size());
    const int n =
        frame::Unstuff(current_.data(), static_cast<int>(current_.size()), unstuffed.data());
    // Header bytes first, checksum last.
    SentFrame sent;
    if (n >= 3) {
        sent.payload.assign(unstuffed.begin() + 2, unstuffed.begin() + (n - 1));
    }
    sent.atMs = pump_.NowMs();
    const int index = static_cast<int>(frames_.size());
    frames_.push_back(std::move(sent));
    if (Cut() || Failed()) {
        return;
    }
    if (plan_.kind == FarEndKind::Unsolicited && index == plan_.fromExchange) {
        MarkFault();
        DeliverFrame(plan_.message, pump_.NowMs());
    }
    if (plan_.kind == FarEndKind::Noise) {
        MarkFault();
        for (int i = 0; i < kNoiseBytes; ++i) {
            Deliver(NextRandom(), pump_.NowMs());
        }
    }
}

void FarEnd::Deliver(uint8_t byte, int64_t dueMs) {
    // Bytes leave in order: none overtakes one queued before it.
    if (!toUpdater_.empty()) {
        dueMs = std::max(dueMs, toUpdater_.back().dueMs);
    }
    toUpdater_.push_back({dueMs, byte});
    if (!frames_.empty()) {
        frames_.back().answered = true;
    }
}

void FarEnd::DeliverFrame(const Bytes& payload, int64_t dueMs) {
    for (uint8_t b : RadioFrame(payload)) {
        Deliver(b, dueMs);
    }
}

void FarEnd::TakeFromRadio() {
    if (!radio_) {
        return;
    }
    uint8_t b = 0;
    while (radio_->Ready() && radio_->Read(b)) {
        if (Cut() || (plan_.kind == FarEndKind::Flood && triggered_)) {
            continue;
        }
        switch (plan_.kind) {
            case FarEndKind::Garbage:
                MarkFault();
                Deliver(static_cast<uint8_t>(b ^ NextRandom() ^ 0x5A), pump_.NowMs());
                break;
            case FarEndKind::Delay: {
                MarkFault();
                const int64_t anchor = frames_.empty() ? openedAtMs_ : frames_.back().atMs;
                const Bytes none;
                const int64_t delay =
                    plan_.delayAfter(frames_.empty() ? none : frames_.back().payload);
                Deliver(b, std::max(pump_.NowMs(), anchor + delay));
                break;
            }
            default:
                Deliver(b, pump_.NowMs());
                break;
        }
    }
}

void FarEnd::TopUpFlood() {
    if (plan_.kind != FarEndKind::Flood || !triggered_ || Cut()) {
        return;
    }
    const int64_t now = pump_.NowMs();
    while (nextFloodMs_ <= now && toUpdater_.size() < kFloodBacklog) {
        MarkFault();
        DeliverFrame(plan_.message, nextFloodMs_);
        nextFloodMs_ += kFloodGapMs;
    }
    if (nextFloodMs_ <= now) {
        nextFloodMs_ = now + kFloodGapMs;  // the backlog is full: the flood waits for readers
    }
}

bool FarEnd::Ready() {
    if (!open_ || Failed()) {
        return false;
    }
    if (AtEnd()) {
        return true;  // a line at its end reads as ready, and every read brings nothing
    }
    TakeFromRadio();
    TopUpFlood();
    if (Cut()) {
        toUpdater_.clear();
        return false;
    }
    return !toUpdater_.empty() && toUpdater_.front().dueMs <= pump_.NowMs();
}

int FarEnd::Read(uint8_t& byte) {
    if (!open_ || Failed()) {
        return -1;
    }
    if (AtEnd()) {
        return 0;
    }
    if (!Ready()) {
        return 0;
    }
    byte = toUpdater_.front().byte;
    toUpdater_.pop_front();
    return 1;
}

int64_t FarEnd::NextEventMs() const {
    if (!open_ || Cut()) {
        return VirtualEventPump::kNever;
    }
    const int64_t now = pump_.NowMs();
    int64_t next = VirtualEventPump::kNever;
    for (const Pending& p : toUpdater_) {
        if (p.dueMs > now) {
            next = p.dueMs;
            break;
        }
    }
    if (plan_.kind == FarEndKind::Flood && triggered_ && nextFloodMs_ > now) {
        next = std::min(next, nextFloodMs_);
    }
    if (plan_.giveUpAtMs > now && next != VirtualEventPump::kNever) {
        next = std::min(next, plan_.giveUpAtMs);
    }
    return next;
}

uint8_t FarEnd::NextRandom() {
    random_ = random_ * 1103515245u + 12345u;
    return static_cast<uint8_t>(random_ >> 16);
}

}  // namespace quillon::test
