#include "serial/TimerList.h"

#include <algorithm>

namespace quillon {

struct TimerList::State {
    int interval = 0;
    bool active = false;
    int64_t due = 0;
    std::function<void()> callback;
};

class TimerList::ListTimer : public Timer {
public:
    ListTimer(std::function<int64_t()> now, const std::shared_ptr<States>& list,
              std::shared_ptr<State> state)
        : now_(std::move(now)), list_(list), state_(std::move(state)) {}
    ~ListTimer() override {
        if (auto list = list_.lock()) {
            std::erase(*list, state_);
        }
    }
    void SetInterval(int ms) override { state_->interval = std::max(ms, 0); }
    int Interval() const override { return state_->interval; }
    void SetCallback(std::function<void()> onExpiry) override {
        state_->callback = std::move(onExpiry);
    }
    void Start() override {
        state_->active = true;
        state_->due = now_() + state_->interval;
    }
    void Stop() override { state_->active = false; }
    bool IsActive() const override { return state_->active; }

private:
    std::function<int64_t()> now_;
    std::weak_ptr<States> list_;
    std::shared_ptr<State> state_;
};

TimerList::TimerList(std::function<int64_t()> now)
    : now_(std::move(now)), timers_(std::make_shared<States>()) {}

TimerList::~TimerList() = default;

std::unique_ptr<Timer> TimerList::CreateTimer() {
    auto state = std::make_shared<State>();
    timers_->push_back(state);
    return std::make_unique<ListTimer>(now_, timers_, state);
}

int64_t TimerList::NextDue() const {
    int64_t next = kNever;
    for (const auto& t : *timers_) {
        if (t->active) {
            next = std::min(next, t->due);
        }
    }
    return next;
}

void TimerList::FireDue() {
    const int64_t now = now_();
    // Work on a snapshot: a callback may add, stop or destroy timers. The shared states keep
    // a destroyed timer's record alive until the loop is done with it.
    const States snapshot = *timers_;
    for (const auto& t : snapshot) {
        if (t->active && t->due <= now) {
            t->due = now + std::max(t->interval, 1);
            if (t->callback) {
                auto callback = t->callback;
                callback();
            }
        }
    }
}

}  // namespace quillon
