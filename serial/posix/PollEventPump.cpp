#include "serial/posix/PollEventPump.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "serial/posix/MonotonicClock.h"

namespace quillon {

namespace {
constexpr int64_t kHungUpNap = 100;
}  // namespace

PollEventPump::PollEventPump() : timers_([] { return MonotonicMs(); }) {}

PollEventPump::~PollEventPump() = default;

int64_t PollEventPump::NowMs() const {
    return MonotonicMs();
}

void PollEventPump::ProcessEvents() {
    timers_.FireDue();
}

std::unique_ptr<Timer> PollEventPump::CreateTimer() {
    return timers_.CreateTimer();
}

void PollEventPump::WaitForActivity(int64_t deadlineMs, int readFd) {
    Wait(deadlineMs, readFd, POLLIN);
}

void PollEventPump::WaitForWritable(int64_t deadlineMs, int writeFd) {
    Wait(deadlineMs, writeFd, POLLOUT);
}

void PollEventPump::Wait(int64_t deadlineMs, int fd, short events) {
    const int64_t until = std::min(deadlineMs, timers_.NextDue());
    const int64_t now = NowMs();
    // The clock counts whole milliseconds and poll() sleeps at least the time asked, so a wait
    // never returns before its deadline.
    const int timeout = until == TimerList::kNever
                            ? -1
                            : static_cast<int>(std::clamp<int64_t>(until - now, 0, INT_MAX));
    if (timeout != 0) {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, fd >= 0 ? 1 : 0, timeout);
        if (rc > 0 && (p.revents & events) == 0) {
            // Hung up or failed: the descriptor would wake every poll without anything to read.
            // Sleep out the rest of the wait (a while, when it has no end) instead of returning
            // at once again and again.
            const int64_t left = until == TimerList::kNever ? kHungUpNap : until - NowMs();
            if (left > 0) {
                ::poll(nullptr, 0, static_cast<int>(std::min<int64_t>(left, INT_MAX)));
            }
        }
    }
    ProcessEvents();
}

}  // namespace quillon
