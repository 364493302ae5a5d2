#pragma once

// A scripted far end for link tests: it collects what the session writes, picks the frames out
// of it, and delivers scripted answer bytes at moments of the virtual clock.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "serial/SerialLine.h"
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
    // A line to this radio (FakeLine opens one at each open).
    std::unique_ptr<SerialLine> MakeLine() {
        class Line : public SerialLine {
        public:
            explicit Line(FakeRadio& radio) : radio_(radio) {}
            OpenFailure Open(const std::string& path, const LineSettings& settings) override {
                devicePath_ = path;
                settings_ = settings;
                open_ = true;
                return {};
            }
            bool IsOpen() const override { return open_; }
            void Close() override { open_ = false; }
            LineResult Write(const uint8_t* bytes, int count) override {
                radio_.Received(bytes, count);
                return LineResult::Bytes(count);
            }
            LineResult Read(uint8_t* buffer, int capacity) override {
                int n = 0;
                while (n < capacity && radio_.CharReady()) {
                    buffer[n++] = radio_.TakeByte();
                    if (radio_.readCostMs_ > 0) {
                        break;  // a slow line gives one byte at a time
                    }
                }
                return LineResult::Bytes(n);
            }
            LineResult Unsent() override { return {}; }
            LineResult SetSpeed(int32_t bitsPerSecond) override {
                settings_.bitsPerSecond = bitsPerSecond;
                return {};
            }

        private:
            FakeRadio& radio_;
            bool open_ = false;
        };
        return std::make_unique<Line>(*this);
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

}  // namespace quillon::test
