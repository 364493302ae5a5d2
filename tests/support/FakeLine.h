#pragma once

// The serial line of the tests: it opens a line of a far end (the in-process virtual radio, or
// a scripted radio) and passes bytes through it, recording what the session asked of the line
// and playing the faults a real line has (an open refused, a stalled transmitter, bytes slow to
// drain).

#include <cerrno>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "serial/EventPump.h"
#include "serial/SerialLine.h"

namespace quillon::test {

class FakeLine : public SerialLine {
public:
    using Maker = std::function<std::unique_ptr<SerialLine>()>;

    // `farEnd` makes the line to the far end at each open; `clock` (may be null) stamps the
    // speed changes.
    explicit FakeLine(Maker farEnd, const EventPump* clock = nullptr)
        : farEnd_(std::move(farEnd)), clock_(clock) {}
    template <class FarEnd>
    requires requires(FarEnd& f) { f.MakeLine(); }
    explicit FakeLine(FarEnd& farEnd, const EventPump* clock = nullptr)
        : FakeLine([&farEnd] { return farEnd.MakeLine(); }, clock) {}

    OpenFailure Open(const std::string& devicePath, const LineSettings& settings) override {
        devicePath_ = devicePath;
        settings_ = settings;
        opens.push_back({devicePath, settings});
        log.push_back("open");
        if (refuse != OpenFailure::Reason::None) {
            OpenFailure failure;
            failure.reason = refuse;
            failure.devicePath = devicePath;
            return failure;
        }
        inner_ = farEnd_();
        return inner_->Open(devicePath, settings);
    }
    bool IsOpen() const override { return inner_ && inner_->IsOpen(); }
    void Close() override {
        log.push_back("close");
        ++closes;
        if (inner_) {
            inner_->Close();
        }
    }
    LineResult Write(const uint8_t* bytes, int count) override {
        if (!IsOpen()) {
            return LineResult::Failed(EBADF);
        }
        if (writeError != 0) {
            return LineResult::Failed(writeError);
        }
        if (writable && !writable()) {
            return {};
        }
        return inner_->Write(bytes, count);
    }
    LineResult Read(uint8_t* buffer, int capacity) override {
        return IsOpen() ? inner_->Read(buffer, capacity) : LineResult::Failed(EBADF);
    }
    LineResult Unsent() override { return LineResult::Bytes(IsOpen() && unsent ? unsent() : 0); }
    LineResult SetSpeed(int32_t bitsPerSecond) override {
        settings_.bitsPerSecond = bitsPerSecond;
        speeds.emplace_back(clock_ != nullptr ? clock_->NowMs() : 0, bitsPerSecond);
        log.push_back("speed " + std::to_string(bitsPerSecond));
        return inner_ ? inner_->SetSpeed(bitsPerSecond) : LineResult{};
    }
    int WaitHandle() const override { return IsOpen() ? waitHandle : -1; }

    struct OpenCall {
        std::string path;
        LineSettings settings;
    };

    // Faults.
    OpenFailure::Reason refuse = OpenFailure::Reason::None;  // opens fail with this reason
    std::function<bool()> writable;                          // while false the line takes nothing
    std::function<int()> unsent;                             // bytes not yet left the line
    int writeError = 0;                                      // writes fail with this error
    int waitHandle = -1;  // what the line hands to waits while open

    // What the session did.
    std::vector<OpenCall> opens;
    std::vector<std::pair<int64_t, int32_t>> speeds;  // (time, bit/s)
    std::vector<std::string> log;
    int closes = 0;

private:
    Maker farEnd_;
    const EventPump* clock_;
    std::unique_ptr<SerialLine> inner_;
};

}  // namespace quillon::test
