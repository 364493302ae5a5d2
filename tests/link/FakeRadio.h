#pragma once

// A scripted far end for link tests: it collects what the session writes, picks the frames out
// of it, and delivers scripted answer bytes at moments of the virtual clock.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "serial/KVTCommDevice.h"
#include "serial/PortComponent.h"
#include "serial/VirtualEventPump.h"

namespace quillon::test {

using Bytes = std::vector<uint8_t>;

// A reply frame as a radio sends it (H1 0x01, H2 0x7F unless told otherwise), written here on
// its own so that a framing mistake in the session is not mirrored by the test.
inline Bytes RadioFrame(const Bytes& payload, uint8_t h2 = 0x7F, int checksumError = 0) {
    Bytes out{0xBA, 0x01, h2};
    unsigned sum = 0x01u + h2;
    auto put = [&out](uint8_t b) {
        if (b == 0x10) {
            out.insert(out.end(), {0x10, 0x02});
        } else if (b == 0x7E) {
            out.insert(out.end(), {0x10, 0x01});
        } else if (b == 0xBA) {
            out.insert(out.end(), {0x10, 0x00});
        } else {
            out.push_back(b);
        }
    };
    for (uint8_t b : payload) {
        sum += b;
        put(b);
    }
    put(static_cast<uint8_t>(256 - (sum % 256) + checksumError));
    out.push_back(0x7E);
    return out;
}

class FakeRadio {
public:
    // Called with the payload of each frame the session sends (H2 0x01 or 0x4F).
    using Responder = std::function<void(FakeRadio&, const Bytes& payload, uint8_t h2)>;

    explicit FakeRadio(VirtualEventPump& pump) : pump_(pump) {
        wake_ = pump_.AddWakeSource([this] { return NextDelivery(); });
    }
    ~FakeRadio() { pump_.RemoveWakeSource(wake_); }

    // Answers a request payload with a reply frame after `delayMs`. Several answers to the same
    // request are used in turn, the last one for every later ask; a request without an answer
    // is left unanswered.
    void Answer(const Bytes& request, const Bytes& replyPayload, int delayMs = 5) {
        answers_[request].push_back(RadioFrame(replyPayload));
        delays_[request] = delayMs;
    }
    void AnswerRaw(const Bytes& request, const Bytes& raw, int delayMs = 5) {
        answers_[request].push_back(raw);
        delays_[request] = delayMs;
    }
    // Leaves a request unanswered from now on.
    void Forget(const Bytes& request) { answers_.erase(request); }
    void SetResponder(Responder r) { responder_ = std::move(r); }

    // Bytes that become readable `delayMs` from now.
    void Deliver(const Bytes& bytes, int delayMs = 0) {
        const int64_t at = pump_.NowMs() + delayMs;
        for (uint8_t b : bytes) {
            incoming_.push_back({at, b});
        }
    }
    bool CharReady() const { return !incoming_.empty() && incoming_.front().at <= pump_.NowMs(); }
    uint8_t TakeByte() {
        const uint8_t b = incoming_.front().byte;
        incoming_.pop_front();
        ++bytesRead_;
        if (readCostMs_ > 0) {
            pump_.Advance(readCostMs_);
        }
        return b;
    }
    // Makes every byte read take this long, as on a slow line that never pauses.
    void SetReadCostMs(int ms) { readCostMs_ = ms; }
    int64_t BytesRead() const { return bytesRead_; }
    int Malformed() const { return malformed_; }

    // What the session wrote.
    void Received(const uint8_t* data, int count) {
        writes_.emplace_back(data, data + count);
        written_.insert(written_.end(), data, data + count);
        writeTimes_.push_back(pump_.NowMs());
        ParseFrames();
    }
    const Bytes& Written() const { return written_; }
    const std::vector<Bytes>& Writes() const { return writes_; }
    const std::vector<int64_t>& WriteTimes() const { return writeTimes_; }
    // Payloads of the frames the session sent, in order.
    const std::vector<Bytes>& Requests() const { return requests_; }
    int CountRequests(const Bytes& payload) const {
        int n = 0;
        for (const auto& r : requests_) {
            n += r == payload ? 1 : 0;
        }
        return n;
    }

private:
    struct Pending {
        int64_t at;
        uint8_t byte;
    };

    int64_t NextDelivery() const {
        return incoming_.empty() ? VirtualEventPump::kNever : incoming_.front().at;
    }

    void ParseFrames() {
        for (; parsed_ < written_.size(); ++parsed_) {
            const uint8_t b = written_[parsed_];
            if (b == 0xBA) {
                frame_.clear();
                inFrame_ = true;
            } else if (b == 0x7E && inFrame_) {
                inFrame_ = false;
                OnFrame();
            } else if (inFrame_) {
                frame_.push_back(b);
            }
        }
    }

    void OnFrame() {
        Bytes plain;
        for (size_t i = 0; i < frame_.size(); ++i) {
            if (frame_[i] == 0x10 && i + 1 < frame_.size()) {
                const uint8_t next = frame_[++i];
                plain.push_back(next == 0 ? 0xBA : next == 1 ? 0x7E : 0x10);
            } else {
                plain.push_back(frame_[i]);
            }
        }
        unsigned sum = 0;
        for (uint8_t b : plain) {
            sum += b;
        }
        if (plain.size() < 3 || sum % 256 != 0 || plain[0] != 0x7F) {
            ++malformed_;  // raw bytes, or a framing fault: no request
            return;
        }
        const uint8_t h2 = plain[1];
        Bytes payload(plain.begin() + 2, plain.end() - 1);
        requests_.push_back(payload);
        if (responder_) {
            responder_(*this, payload, h2);
            return;
        }
        auto it = answers_.find(payload);
        if (it != answers_.end()) {
            auto& queue = it->second;
            Deliver(queue.front(), delays_[payload]);
            if (queue.size() > 1) {
                queue.pop_front();
            }
        }
    }

    VirtualEventPump& pump_;
    int wake_ = 0;
    std::deque<Pending> incoming_;
    int64_t bytesRead_ = 0;
    int readCostMs_ = 0;
    int malformed_ = 0;
    Bytes written_;
    std::vector<Bytes> writes_;
    std::vector<int64_t> writeTimes_;
    size_t parsed_ = 0;
    Bytes frame_;
    bool inFrame_ = false;
    std::vector<Bytes> requests_;
    std::map<Bytes, std::deque<Bytes>> answers_;
    std::map<Bytes, int> delays_;
    Responder responder_;
};

// The program's serial device as the session sees it, wired to a FakeRadio.
class FakeDevice : public KVTCommDevice {
public:
    explicit FakeDevice(FakeRadio& radio) : radio_(radio) { deviceKind_ = 2; }
    int Open() override {
        open_ = true;
        return 1;
    }
    int Close() override {
        open_ = false;
        ++closes_;
        return 1;
    }
    bool IsOpen() override { return open_; }
    bool CharReady() override { return open_ && radio_.CharReady(); }
    int ReadByte(uint8_t* byte) override {
        if (!CharReady()) {
            return 0;
        }
        *byte = radio_.TakeByte();
        return 1;
    }
    int Read(uint8_t* buffer, int count) override {
        int n = 0;
        while (n < count && ReadByte(buffer + n) == 1) {
            ++n;
        }
        return n;
    }
    int Write(const uint8_t* buffer, int count) override {
        if (!open_) {
            return 0;
        }
        radio_.Received(buffer, count);
        return count;
    }

    // Takes nothing while `writable_` says no (a stalled line), else the whole block.
    int WriteSome(const uint8_t* buffer, int count) override {
        if (open_ && writable_ && !writable_()) {
            return 0;
        }
        return Write(buffer, count);
    }

    // A descriptor to hand to waits (the virtual clock never looks at it).
    int WaitDescriptor() const override { return open_ ? waitDescriptor_ : -1; }

    std::function<bool()> writable_;
    int closes_ = 0;
    int waitDescriptor_ = -1;

private:
    FakeRadio& radio_;
    bool open_ = false;
};

// The serial-port component as the session sees it, wired to a FakeRadio.
class FakePort : public PortComponent {
public:
    explicit FakePort(FakeRadio& radio) : radio_(radio) {}

    void SetComNumber(int n) override { com_ = n; }
    int ComNumber() const override { return com_; }
    void SetRS485Mode(bool on) override { rs485_ = on; }
    bool RS485Mode() const override { return rs485_; }
    void SetOpen(bool open) override {
        if (open && openError_ != 0) {
            throw EAPDException(openError_, "cannot open");
        }
        open_ = open;
        log_.push_back(open ? "open" : "close");
    }
    bool Open() const override { return open_; }
    void FlushInBuffer() override { log_.push_back("flush-in"); }
    void FlushOutBuffer() override { log_.push_back("flush-out"); }
    void SetBaud(int32_t bps) override {
        baud_ = bps;
        log_.push_back("baud " + std::to_string(bps));
    }
    int32_t Baud() const override { return baud_; }
    int OutBuffFree() const override { return kBufferSize - OutBuffUsed(); }
    int OutBuffUsed() const override { return usedUntil_(); }
    bool CTS() const override { return cts_(); }
    int PutBlock(const uint8_t* data, int length) override {
        if (putResult_ == 0) {
            radio_.Received(data, length);
        }
        return putResult_;
    }
    bool CharReady() override { return open_ && radio_.CharReady(); }
    uint8_t GetChar() override { return radio_.TakeByte(); }

    int openError_ = 0;
    int putResult_ = 0;
    std::function<bool()> cts_ = [] { return false; };
    std::function<int()> usedUntil_ = [] { return 0; };
    std::vector<std::string> log_;

private:
    FakeRadio& radio_;
    int com_ = 0;
    bool rs485_ = false;
    bool open_ = false;
    int32_t baud_ = 19200;
};

}  // namespace quillon::test
