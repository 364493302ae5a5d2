#include "sim/InProcessRadio.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace quillon::sim {

namespace {

// Microseconds one byte (start bit, 8 data bits, stop bit) takes on the line.
int64_t ByteTimeUs(uint32_t bitsPerSecond) {
    return bitsPerSecond == 0 ? 0 : (10'000'000LL + bitsPerSecond - 1) / bitsPerSecond;
}

int64_t CeilMs(int64_t us) {
    return (us + 999) / 1000;
}

}  // namespace

class InProcessRadio::Line : public SerialLine {
public:
    explicit Line(InProcessRadio& radio) : radio_(&radio) {}
    ~Line() override {
        if (radio_ != nullptr && radio_->line_ == this) {
            radio_->line_ = nullptr;
        }
    }

    void Detach() { radio_ = nullptr; }

    OpenFailure Open(const std::string& devicePath, const LineSettings& settings) override {
        devicePath_ = devicePath;
        settings_ = settings;
        OpenFailure failure;
        if (radio_ == nullptr || radio_->refuseOpens_) {
            failure.reason = OpenFailure::Reason::InUse;
            failure.devicePath = devicePath;
            return failure;
        }
        open_ = true;
        radio_->toHost_.clear();  // what came before this open is not this connection's
        radio_->SetHostSpeed(static_cast<uint32_t>(settings.bitsPerSecond));
        return failure;
    }
    bool IsOpen() const override { return open_ && radio_ != nullptr; }
    void Close() override { open_ = false; }
    LineResult Write(const uint8_t* bytes, int count) override {
        if (!IsOpen()) {
            return LineResult::Failed(EBADF);
        }
        radio_->FromHost(bytes, count);
        return LineResult::Bytes(count);
    }
    LineResult Read(uint8_t* buffer, int capacity) override {
        if (!IsOpen()) {
            return LineResult::Failed(EBADF);
        }
        return LineResult::Bytes(radio_->HostRead(buffer, capacity));
    }
    LineResult Unsent() override { return {}; }
    LineResult SetSpeed(int32_t bitsPerSecond) override {
        settings_.bitsPerSecond = bitsPerSecond;
        if (radio_ != nullptr) {
            radio_->SetHostSpeed(static_cast<uint32_t>(bitsPerSecond));
        }
        return {};
    }

private:
    InProcessRadio* radio_;
    bool open_ = false;
};

InProcessRadio::InProcessRadio(VirtualEventPump& pump, RadioConfig config, FrameLog& log)
    : pump_(pump), radio_(std::move(config), log) {
    wakeHandle_ = pump_.AddWakeSource([this] { return NextEventMs(); });
    radio_.SetClock([this] { return pump_.NowMs(); });
}

InProcessRadio::InProcessRadio(VirtualEventPump& pump, RadioConfig config)
    : InProcessRadio(pump, std::move(config), ownLog_) {}

InProcessRadio::~InProcessRadio() {
    pump_.RemoveWakeSource(wakeHandle_);
    if (line_ != nullptr) {
        line_->Detach();
    }
}

std::unique_ptr<SerialLine> InProcessRadio::MakeLine() {
    if (line_ != nullptr) {
        line_->Detach();
    }
    auto line = std::make_unique<Line>(*this);
    line_ = line.get();
    toHost_.clear();
    return line;
}

void InProcessRadio::FromHost(const uint8_t* data, int count) {
    if (!connected_) {
        return;
    }
    RunDueSpeedChanges();
    if (hostSpeed_ != radioSpeed_) {
        garbled_ += count;
        return;
    }
    bytesToRadio_ += count;
    Schedule(radio_.Receive(data, static_cast<size_t>(count)));
    RunOwnMessages();
}

void InProcessRadio::Schedule(std::vector<OutputStep> steps) {
    int64_t at = std::max(lineFreeUs_, NowUs());
    for (OutputStep& step : steps) {
        at += static_cast<int64_t>(step.delayMs) * 1000;
        if (step.speed) {
            speedChanges_.emplace_back(at, *step.speed);
            continue;
        }
        // The speed in force when these bytes go out: the last change scheduled before them.
        uint32_t speed = radioSpeed_;
        for (const auto& change : speedChanges_) {
            if (change.first <= at) {
                speed = change.second;
            }
        }
        const int64_t perByte = ByteTimeUs(speed);
        for (uint8_t b : step.bytes) {
            at += perByte;
            toHost_.push_back({at, b});
        }
    }
    lineFreeUs_ = at;
}

uint32_t InProcessRadio::RadioSpeed() const {
    uint32_t speed = radioSpeed_;
    for (const auto& change : speedChanges_) {
        if (change.first > NowUs()) {
            break;
        }
        speed = change.second;
    }
    return speed;
}

void InProcessRadio::RunDueSpeedChanges() {
    const int64_t now = NowUs();
    while (!speedChanges_.empty() && speedChanges_.front().first <= now) {
        radioSpeed_ = speedChanges_.front().second;
        speedChanges_.pop_front();
    }
}

bool InProcessRadio::HostCharReady() {
    RunOwnMessages();
    const int64_t now = NowUs();
    RunDueSpeedChanges();
    while (!toHost_.empty() && toHost_.front().atUs <= now) {
        if (connected_ && hostSpeed_ == radioSpeed_) {
            return true;
        }
        // Sent at a speed the updater is not listening at, or into a dead line.
        toHost_.pop_front();
        ++garbled_;
    }
    return false;
}

int InProcessRadio::HostRead(uint8_t* buffer, int capacity) {
    int n = 0;
    while (n < capacity && HostCharReady()) {
        buffer[n++] = toHost_.front().byte;
        toHost_.pop_front();
        ++bytesFromRadio_;
    }
    return n;
}

int64_t InProcessRadio::NextEventMs() const {
    // Only what is still to come wakes a wait: bytes already due are readable now, and a wait
    // that is not for the line (a pause) must not be woken by them again and again.
    const int64_t now = NowUs();
    int64_t next = VirtualEventPump::kNever;
    if (line_ != nullptr) {
        auto firstFuture = std::upper_bound(toHost_.begin(), toHost_.end(), now,
                                            [](int64_t t, const Pending& p) { return t < p.atUs; });
        if (firstFuture != toHost_.end()) {
            next = CeilMs(firstFuture->atUs);
        }
    }
    for (const auto& change : speedChanges_) {
        if (change.first > now) {
            next = std::min(next, CeilMs(change.first));
            break;
        }
    }
    const int64_t own = radio_.NextOwnMessageMs(pump_.NowMs());
    if (own != RadioSimulator::kNoMessage && own > pump_.NowMs()) {
        next = std::min(next, own);
    }
    return next;
}

}  // namespace quillon::sim
