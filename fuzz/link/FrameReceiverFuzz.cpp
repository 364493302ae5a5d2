// Feeds arbitrary bytes to the reply-frame receiver, directly and through a session's receive
// loop, and checks what comes out.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "link/Comm.h"
#include "link/FrameReceiver.h"
#include "serial/VirtualEventPump.h"

namespace {

using quillon::CommMessage;

// A line that hands out the fuzz input in reads of varying size and then reports itself closed.
class InputLine : public quillon::SerialLine {
public:
    InputLine(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    quillon::OpenFailure Open(const std::string&, const quillon::LineSettings&) override {
        return {};
    }
    bool IsOpen() const override { return pos_ < size_; }
    void Close() override { pos_ = size_; }
    quillon::LineResult Write(const uint8_t*, int count) override {
        return quillon::LineResult::Bytes(count);
    }
    quillon::LineResult Read(uint8_t* buffer, int capacity) override {
        // Each read takes a few bytes, so frames are cut at every place across reads.
        size_t n = std::min<size_t>({size_ - pos_, static_cast<size_t>(capacity),
                                     1 + static_cast<size_t>(data_[pos_] % 7)});
        std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        return quillon::LineResult::Bytes(static_cast<int>(n));
    }
    quillon::LineResult Unsent() override { return {}; }
    quillon::LineResult SetSpeed(int32_t) override { return {}; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckFrame(const CommMessage& frame) {
    Check(frame.Length >= 0 && frame.Length <= quillon::FrameReceiver::kBufferSize - 3);
    for (int i = frame.Length; i < CommMessage::kCapacity; ++i) {
        Check(frame.Data[i] == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    // The first four bytes choose the expected replies; the rest is the line.
    CommMessage a = CommMessage::FromCode(data[0], data[1]);
    CommMessage b = CommMessage::FromCode(data[0], data[2]);
    b.Length = 1 + (data[3] & 1);
    const int lengthA = data[3] >> 4;
    const int lengthB = (data[3] >> 1) & 7;
    data += 4;
    size -= 4;

    quillon::FrameReceiver receiver;
    int framesSeen = 0;
    for (size_t i = 0; i < size; ++i) {
        if (receiver.Feed(data[i])) {
            ++framesSeen;
            CheckFrame(receiver.Frame());
            const int which = quillon::MatchReply(receiver.Frame(), a, lengthA, b, lengthB);
            Check(which >= -1 && which <= 1);
            if (which == 0) {
                Check(receiver.Frame().Length == lengthA);
            }
        }
        Check(receiver.Collected() >= 0 && receiver.Collected() <= receiver.kBufferSize);
    }

    // The same bytes through the session's receive loop.
    quillon::VirtualEventPump pump;
    quillon::CommSession session(pump,
                                 [data, size] { return std::make_unique<InputLine>(data, size); });
    std::string error;
    if (!session.StartCommunication("fuzz", 19200, false, error)) {
        return 0;
    }
    session.SetActive(true);
    session.SetTimeout(1000);
    int which = -1;
    const CommMessage reply = session.ReceiveReply(a, lengthA, b, lengthB, which);
    CheckFrame(reply);
    if (session.ReplyStatus() == 1) {
        Check(which == 0 || which == 1);
        Check(framesSeen > 0);
        Check(reply.Length == (which == 0 ? lengthA : lengthB));
    } else {
        Check(session.ReplyStatus() == 4 && which == -1);
    }
    return 0;
}
