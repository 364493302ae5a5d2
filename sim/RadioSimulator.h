#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/CodeplugResponder.h"
#include "sim/DownloadResponder.h"
#include "sim/FaultPlan.h"
#include "sim/FrameLog.h"
#include "sim/LinkControlResponder.h"
#include "sim/MessageDispatcher.h"
#include "sim/QueryResponder.h"
#include "sim/RadioConfig.h"
#include "sim/RadioFramer.h"

namespace quillon::sim {

// One thing for the line to do, in order: after `delayMs` (counted from the end of the step
// before), send `bytes`, or switch to `speed`. The log line is written when the step is done.
struct OutputStep {
    int delayMs = 0;
    Bytes bytes;
    std::optional<uint32_t> speed;
    std::string logKind;
    std::string logText;
};

// The radio without its line: bytes from the updater go in, what the radio sends back and
// does to its line comes out. Received frames are logged at once.
class RadioSimulator {
public:
    RadioSimulator(RadioConfig config, FrameLog& log);
    RadioSimulator(const RadioSimulator&) = delete;
    RadioSimulator& operator=(const RadioSimulator&) = delete;

    std::vector<OutputStep> Receive(const uint8_t* data, size_t size);
    std::vector<OutputStep> Receive(const Bytes& bytes) {
        return Receive(bytes.data(), bytes.size());
    }

    const RadioConfig& Config() const { return config_; }
    CodeplugResponder& Codeplug() { return codeplug_; }

    // The clock (milliseconds) the radio times its flash erase with; without one it reads 0.
    void SetClock(std::function<int64_t()> nowMs) { clock_ = std::move(nowMs); }
    const DownloadResponder& Download() const { return download_; }
    // True once a fault has dropped the line.
    bool LineDropped() const { return lineDropped_; }

private:
    void React(const Request& request, std::vector<OutputStep>& steps);
    Bytes Noise(int count);

    RadioConfig config_;
    FrameLog& log_;
    QueryResponder queries_;
    LinkControlResponder linkControl_;
    std::function<int64_t()> clock_;
    DownloadResponder download_;
    CodeplugResponder codeplug_;
    MessageDispatcher dispatcher_;
    bool lineDropped_ = false;
    FaultPlan faults_;
    RadioFramer framer_;
    uint32_t noiseState_ = 0x2545F491;
};

}  // namespace quillon::sim
