#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "serial/EventPump.h"
#include "serial/TimerList.h"

namespace quillon {

// An event pump on a virtual clock, for tests. Time moves only when the code waits: a wait
// jumps straight to the earliest of its deadline, the next due timer and the next moment a
// registered wake source has something to deliver. A test of an 80-second wait therefore takes
// microseconds, and the number of waits tells whether a loop spins.
class VirtualEventPump : public EventPump {
public:
    static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

    VirtualEventPump();
    ~VirtualEventPump() override;

    int64_t NowMs() const override { return now_; }
    void ProcessEvents() override;
    void WaitForActivity(int64_t deadlineMs, int readFd = -1) override;
    // The descriptor is not watched: the wait ends like any other (deadline, timer, wake source).
    void WaitForWritable(int64_t deadlineMs, int writeFd) override;
    std::unique_ptr<Timer> CreateTimer() override;

    // Moves the clock forward by `ms`, firing the timers that fall due on the way.
    void Advance(int64_t ms);

    // A scripted far end tells here when it next has something to deliver (kNever for nothing);
    // waits then wake at that moment. Returns a handle for RemoveWakeSource.
    int AddWakeSource(std::function<int64_t()> nextEventMs);
    void RemoveWakeSource(int handle);

    // Runs on every ProcessEvents, after the due timers; a scripted far end acts here.
    int AddEventHook(std::function<void()> hook);
    void RemoveEventHook(int handle);

    // How many times the code has waited; a loop that never waits is spinning.
    int64_t WaitCount() const { return waitCount_; }
    int64_t ProcessCount() const { return processCount_; }

    // Stops a runaway test: a wait with no deadline and nothing scheduled throws this instead of
    // jumping to the end of time.
    struct NothingToWaitFor : std::exception {
        const char* what() const noexcept override { return "wait with nothing scheduled"; }
    };

private:
    template <typename F>
    struct Registered {
        int handle;
        F fn;
    };

    int64_t now_ = 0;
    int64_t waitCount_ = 0;
    int64_t processCount_ = 0;
    int nextHandle_ = 1;
    TimerList timers_;
    std::vector<Registered<std::function<int64_t()>>> wakeSources_;
    std::vector<Registered<std::function<void()>>> hooks_;
};

}  // namespace quillon
