#include "serial/VirtualEventPump.h"

#include <algorithm>

namespace quillon {

struct VirtualEventPump::TimerState {
    int interval = 0;
    bool active = false;
    int64_t due = 0;
    std::function<void()> callback;
};

class VirtualEventPump::VirtualTimer : public Timer {
public:
    VirtualTimer(VirtualEventPump& pump, std::shared_ptr<TimerState> state)
        : pump_(pump), list_(pump.timers_), state_(std::move(state)) {}
    ~VirtualTimer() override {
        if (auto list = list_.lock()) {
            list->erase(std::remove(list->begin(), list->end(), state_), list->end());
        }
    }
    void SetInterval(int ms) override { state_->interval = std::max(ms, 0); }
    int Interval() const override { return state_->interval; }
    void SetCallback(std::function<void()> onExpiry) override {
        state_->callback = std::move(onExpiry);
    }
    void Start() override {
        state_->active = true;
        state_->due = pump_.now_ + state_->interval;
    }
    void Stop() override { state_->active = false; }
    bool IsActive() const override { return state_->active; }

private:
    VirtualEventPump& pump_;
    std::weak_ptr<std::vector<std::shared_ptr<TimerState>>> list_;
    std::shared_ptr<TimerState> state_;
};

VirtualEventPump::VirtualEventPump()
    : timers_(std::make_shared<std::vector<std::shared_ptr<TimerState>>>()) {}

VirtualEventPump::~VirtualEventPump() = default;

std::unique_ptr<Timer> VirtualEventPump::CreateTimer() {
    auto state = std::make_shared<TimerState>();
    timers_->push_back(state);
    return std::make_unique<VirtualTimer>(*this, state);
}

int64_t VirtualEventPump::NextTimerDue() const {
    int64_t next = kNever;
    for (const auto& t : *timers_) {
        if (t->active) {
            next = std::min(next, t->due);
        }
    }
    return next;
}

void VirtualEventPump::FireDueTimers() {
    // A callback may stop, restart or destroy timers, so work on a snapshot and re-check each.
    auto snapshot = *timers_;
    for (const auto& t : snapshot) {
        if (t->active && t->due <= now_) {
            // Repeating, like a window timer: the next expiry is one interval later.
            t->due = now_ + std::max(t->interval, 1);
            if (t->callback) {
                auto cb = t->callback;
                cb();
            }
        }
    }
}

void VirtualEventPump::ProcessEvents() {
    ++processCount_;
    FireDueTimers();
    auto snapshot = hooks_;
    for (auto& h : snapshot) {
        h.fn();
    }
}

void VirtualEventPump::WaitForActivity(int64_t deadlineMs, int /*readFd*/) {
    ++waitCount_;
    int64_t next = std::min(deadlineMs, NextTimerDue());
    for (auto& w : wakeSources_) {
        next = std::min(next, w.fn());
    }
    if (next == kNever) {
        throw NothingToWaitFor();
    }
    if (next > now_) {
        now_ = next;
    }
    ProcessEvents();
}

void VirtualEventPump::Advance(int64_t ms) {
    const int64_t target = now_ + ms;
    for (;;) {
        const int64_t due = NextTimerDue();
        if (due > target) {
            break;
        }
        now_ = std::max(now_, due);
        FireDueTimers();
    }
    now_ = target;
    ProcessEvents();
}

int VirtualEventPump::AddWakeSource(std::function<int64_t()> nextEventMs) {
    wakeSources_.push_back({nextHandle_, std::move(nextEventMs)});
    return nextHandle_++;
}

void VirtualEventPump::RemoveWakeSource(int handle) {
    std::erase_if(wakeSources_, [&](const auto& w) { return w.handle == handle; });
}

int VirtualEventPump::AddEventHook(std::function<void()> hook) {
    hooks_.push_back({nextHandle_, std::move(hook)});
    return nextHandle_++;
}

void VirtualEventPump::RemoveEventHook(int handle) {
    std::erase_if(hooks_, [&](const auto& h) { return h.handle == handle; });
}

}  // namespace quillon
