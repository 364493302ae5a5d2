#pragma once

#include <memory>

#include "app/core/UpdaterView.h"
#include "serial/EventPump.h"

namespace quillon {

// The time-driven progress bar: started with an interval, it moves the bar one step of 100 per
// interval, so the bar is full after 100 intervals unless the step ends first.
class ProgressTimer {
public:
    ProgressTimer(EventPump& pump, UpdaterView& view);
    ~ProgressTimer();
    ProgressTimer(const ProgressTimer&) = delete;
    ProgressTimer& operator=(const ProgressTimer&) = delete;

    // StartProgressTimer: bar 0 of 100, one step per `ms` milliseconds.
    void Start(int ms);
    // StopProgressTimer: the timer stops and the bar shows 100.
    void Stop();

    bool Running() const;
    int Position() const { return position_; }
    int Interval() const;

private:
    void Tick();

    UpdaterView& view_;
    std::unique_ptr<Timer> timer_;
    int position_ = 0;
};

}  // namespace quillon
