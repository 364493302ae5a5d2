#pragma once

#include <chrono>
#include <deque>

#include "sim/FrameLog.h"
#include "sim/PseudoTerminal.h"
#include "sim/RadioSimulator.h"

namespace quillon::sim {

// The radio's event loop: sleeps in poll() on the pseudo-terminal and the stop descriptor,
// feeds what arrives to the radio, and carries out its answers in order and on time.
class SimServer {
public:
    SimServer(PseudoTerminal& line, RadioSimulator& radio, FrameLog& log)
        : line_(line), radio_(radio), log_(log) {
        radio_.SetClock([] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       Clock::now().time_since_epoch())
                .count();
        });
    }

    // Leave after this long without a byte in either direction (zero: never).
    void SetIdleExit(std::chrono::milliseconds idle) { idleExit_ = idle; }

    // Serves until `stopFd` becomes readable or the idle time runs out (0), or the line fails
    // (1, with the reason in `error`). Reading `stopFd` is left to the caller.
    int Run(int stopFd, std::string& error);

private:
    using Clock = std::chrono::steady_clock;

    struct Pending {
        Clock::time_point due;
        OutputStep step;
    };

    void Schedule(std::vector<OutputStep> steps, Clock::time_point now);
    bool RunDueSteps(Clock::time_point now, std::string& error);
    bool Flush(std::string& error);
    bool ReadLine(std::string& error);
    bool Sending() const { return sent_ < outgoing_.size(); }

    PseudoTerminal& line_;
    RadioSimulator& radio_;
    FrameLog& log_;
    std::chrono::milliseconds idleExit_{0};
    std::deque<Pending> queue_;
    Clock::time_point lastDue_{};
    Clock::time_point lastTraffic_{};
    Bytes outgoing_;
    size_t sent_ = 0;
};

}  // namespace quillon::sim
