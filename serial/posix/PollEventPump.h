#pragma once

#include <memory>

#include "serial/EventPump.h"
#include "serial/TimerList.h"

namespace quillon {

// A real-time event pump without a window system, for the command-line tool and benchmarks.
// Waits sleep in poll() on the given descriptor until it is readable, the next timer falls due
// or the deadline passes.
class PollEventPump : public EventPump {
public:
    PollEventPump();
    ~PollEventPump() override;

    int64_t NowMs() const override;
    void ProcessEvents() override;
    void WaitForActivity(int64_t deadlineMs, int readFd = -1) override;
    void WaitForWritable(int64_t deadlineMs, int writeFd) override;
    std::unique_ptr<Timer> CreateTimer() override;

private:
    void Wait(int64_t deadlineMs, int fd, short events);

    TimerList timers_;
};

}  // namespace quillon
