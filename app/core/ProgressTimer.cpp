#include "app/core/ProgressTimer.h"

#include <algorithm>

namespace quillon {

namespace {
constexpr int kBarMaximum = 100;
}

ProgressTimer::ProgressTimer(EventPump& pump, UpdaterView& view)
    : view_(view), timer_(pump.CreateTimer()) {
    timer_->SetCallback([this] { Tick(); });
}

ProgressTimer::~ProgressTimer() {
    timer_->Stop();
}

void ProgressTimer::Start(int ms) {
    // An interval below 1 ms would fire on every pass of the pump.
    timer_->SetInterval(std::max(ms, 1));
    position_ = 0;
    view_.SetProgress(position_, kBarMaximum);
    timer_->Start();
}

void ProgressTimer::Stop() {
    timer_->Stop();
    position_ = kBarMaximum;
    view_.SetProgress(position_, kBarMaximum);
}

bool ProgressTimer::Running() const {
    return timer_->IsActive();
}

int ProgressTimer::Interval() const {
    return timer_->Interval();
}

void ProgressTimer::Tick() {
    // The bar keeps its position within its range.
    if (position_ < kBarMaximum) {
        ++position_;
        view_.SetProgress(position_, kBarMaximum);
    }
}

}  // namespace quillon
