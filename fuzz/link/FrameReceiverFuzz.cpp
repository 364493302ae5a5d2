// Feeds arbitrary bytes to the reply-frame receiver, directly and through a session's receive
// loop, and checks what comes out.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "link/Comm.h"
#include "link/FrameReceiver.h"
#include "serial/VirtualEventPump.h"

namespace {

using quillon::CommMessage;

// A byte device that hands out the fuzz input and then reports itself closed.
class InputDevice : public quillon::KVTCommDevice {
public:
    InputDevice(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool IsOpen() override { return pos_ < size_; }
    bool CharReady() override { return pos_ < size_; }
    int ReadByte(uint8_t* byte) override {
        if (pos_ >= size_) {
            return 0;
        }
        *byte = data_[pos_++];
        return 1;
    }
    int Write(const uint8_t*, int count) override { return count; }

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
    quillon::CommSession session(pump, [data, size] {
        quillon::LinkDevice link;
        link.device = std::make_unique<InputDevice>(data, size);
        link.openPort = [](const std::string&, uint8_t, bool) { return true; };
        return link;
    });
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
