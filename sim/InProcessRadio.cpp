#include "sim/InProcessRadio.h"

#include <algorithm>
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

class InProcessRadio::Device : public KVTCommDevice {
public:
    explicit Device(InProcessRadio& radio) : radio_(&radio) {}
    ~Device() override {
        if (radio_ != nullptr && radio_->device_ == this) {
            radio_->device_ = nullptr;
        }
    }

    void Detach() { radio_ = nullptr; }

    int Open() override {
        if (radio_ == nullptr) {
            return -1;
        }
        open_ = true;
        return 1;
    }
    int Close() override {
        open_ = false;
        return 1;
    }
    bool IsOpen() override { return open_ && radio_ != nullptr; }
    bool CharReady() override { return IsOpen() && radio_->HostCharReady(); }
    int ReadByte(uint8_t* byte) override {
        if (!IsOpen() || byte == nullptr) {
            return -1;
        }
        return radio_->HostReadByte(*byte) ? 1 : 0;
    }
    int Read(uint8_t* buffer, int count) override {
        if (!IsOpen() || buffer == nullptr || count < 0) {
            return -1;
        }
        int n = 0;
        while (n < count && radio_->HostReadByte(buffer[n])) {
            ++n;
        }
        return n;
    }
    int Write(const uint8_t* buffer, int count) override {
        if (!IsOpen() || buffer == nullptr || count < 0) {
            return -1;
        }
        radio_->FromHost(buffer, count);
        return count;
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
    if (device_ != nullptr) {
        device_->Detach();
    }
}

std::unique_ptr<KVTCommDevice> InProcessRadio::MakeDevice() {
    if (device_ != nullptr) {
        device_->Detach();
    }
    auto device = std::make_unique<Device>(*this);
    device_ = device.get();
    toHost_.clear();
    return device;
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

bool InProcessRadio::HostReadByte(uint8_t& byte) {
    if (!HostCharReady()) {
        return false;
    }
    byte = toHost_.front().byte;
    toHost_.pop_front();
    ++bytesFromRadio_;
    return true;
}

int64_t InProcessRadio::NextEventMs() const {
    // Only what is still to come wakes a wait: bytes already due are readable now, and a wait
    // that is not for the line (a pause) must not be woken by them again and again.
    const int64_t now = NowUs();
    int64_t next = VirtualEventPump::kNever;
    if (device_ != nullptr) {
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
    return next;
}

}  // namespace quillon::sim
