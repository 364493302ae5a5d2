#include "link/FrameReceiver.h"

#include <algorithm>

#include "link/FrameFormat.h"

namespace quillon {

void FrameReceiver::Reset() {
    count_ = 0;
    discarding_ = false;
}

bool FrameReceiver::Feed(uint8_t byte) {
    if (byte == frame::kStart) {
        Reset();
        return false;
    }
    if (discarding_) {
        return false;
    }
    if (byte == frame::kEnd) {
        if (count_ >= 2 && buffer_[1] == frame::kHeader2Reply) {
            const bool accepted = Complete();
            if (accepted) {
                wireCount_ = count_;
            }
            count_ = 0;
            return accepted;
        }
        return false;
    }
    if (count_ == kBufferSize) {
        // No frame is this long: drop what has been collected and wait for the next start.
        count_ = 0;
        discarding_ = true;
        return false;
    }
    buffer_[static_cast<size_t>(count_++)] = byte;
    return false;
}

std::vector<uint8_t> FrameReceiver::Wire() const {
    std::vector<uint8_t> wire;
    wire.reserve(static_cast<size_t>(wireCount_) + 2);
    wire.push_back(frame::kStart);
    wire.insert(wire.end(), buffer_.begin(), buffer_.begin() + wireCount_);
    wire.push_back(frame::kEnd);
    return wire;
}

bool FrameReceiver::Complete() {
    std::array<uint8_t, kBufferSize> plain{};
    const int n = frame::Unstuff(buffer_.data(), count_, plain.data());
    // Two header bytes and a checksum at least.
    if (n < 3) {
        return false;
    }
    uint32_t sum = 0;
    for (int i = 0; i < n; ++i) {
        sum += plain[static_cast<size_t>(i)];
    }
    if ((sum & 0xFF) != 0) {
        return false;
    }
    frame_ = CommMessage{};
    frame_.Length = n - 3;
    std::copy(plain.begin() + 2, plain.begin() + 2 + frame_.Length, frame_.Data);
    return true;
}

static bool Matches(const CommMessage& frame, const CommMessage& expected, int payloadLength) {
    if (frame.Length != payloadLength) {
        return false;
    }
    const int codeBytes = std::clamp(expected.Length, 0, CommMessage::kCapacity);
    if (codeBytes > frame.Length) {
        return false;
    }
    return std::equal(frame.Data, frame.Data + codeBytes, expected.Data);
}

int MatchReply(const CommMessage& frame, const CommMessage& a, int payloadLengthA,
               const CommMessage& b, int payloadLengthB) {
    if (Matches(frame, a, payloadLengthA)) {
        return 0;
    }
    if (Matches(frame, b, payloadLengthB)) {
        return 1;
    }
    return -1;
}

}  // namespace quillon
