#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace quillon {

// A single-shot-until-stopped timer: once started it calls its expiry callback every Interval
// milliseconds until stopped. The callback runs from inside the event pump (ProcessEvents or a
// wait), never from another thread.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetInterval(int ms) = 0;
    virtual int Interval() const = 0;
    virtual void SetCallback(std::function<void()> onExpiry) = 0;
    virtual void Start() = 0;  // (re)starts counting from now
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
};

// The one place every wait of the program goes through. A wait keeps events flowing (timers
// fire, the window repaints, Stop is honoured) and sleeps in the kernel between them.
class EventPump {
public:
    virtual ~EventPump() = default;

    // Milliseconds on a monotonic clock.
    virtual int64_t NowMs() const = 0;

    // Handles whatever is pending (due timers, window events) without blocking.
    virtual void ProcessEvents() = 0;

    // Sleeps until something may have happened: an event arrives, a timer falls due,
    // `readFd` (when not -1) becomes readable, or the clock reaches `deadlineMs`.
    // Handles the events that woke it. May return early; callers re-check their condition.
    virtual void WaitForActivity(int64_t deadlineMs, int readFd = -1) = 0;

    // Like WaitForActivity, but wakes when `writeFd` can take more bytes. A pump that cannot
    // watch for that looks again after a short nap.
    virtual void WaitForWritable(int64_t deadlineMs, int writeFd) {
        (void)writeFd;
        const int64_t now = NowMs();
        WaitForActivity(deadlineMs < now + kWritablePollMs ? deadlineMs : now + kWritablePollMs);
    }

    virtual std::unique_ptr<Timer> CreateTimer() = 0;

    static constexpr int kWritablePollMs = 5;

    // Sleeps `ms` milliseconds while events keep flowing.
    void SleepMs(int ms) {
        const int64_t deadline = NowMs() + ms;
        ProcessEvents();
        while (NowMs() < deadline) {
            WaitForActivity(deadline);
        }
    }
};

}  // namespace quillon
