#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "serial/EventPump.h"

namespace quillon {

// The repeating timers of an event pump that keeps time itself. A timer may be stopped,
// restarted or destroyed from inside any callback, its own included.
class TimerList {
public:
    static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

    // `now` gives the pump's clock in milliseconds.
    explicit TimerList(std::function<int64_t()> now);
    ~TimerList();
    TimerList(const TimerList&) = delete;
    TimerList& operator=(const TimerList&) = delete;

    std::unique_ptr<Timer> CreateTimer();

    // When the earliest active timer falls due, or kNever.
    int64_t NextDue() const;

    // Calls every active timer whose time has come (each once), restarting its interval.
    void FireDue();

private:
    struct State;
    class ListTimer;
    using States = std::vector<std::shared_ptr<State>>;

    std::function<int64_t()> now_;
    std::shared_ptr<States> timers_;
};

}  // namespace quillon
