#include "serial/VirtualEventPump.h"

#include <algorithm>

namespace quillon {

VirtualEventPump::VirtualEventPump() : timers_([this] { return now_; }) {}

VirtualEventPump::~VirtualEventPump() = default;

std::unique_ptr<Timer> VirtualEventPump::CreateTimer() {
    return timers_.CreateTimer();
}

void VirtualEventPump::ProcessEvents() {
    ++processCount_;
    timers_.FireDue();
    auto snapshot = hooks_;
    for (auto& h : snapshot) {
        h.fn();
    }
}

void VirtualEventPump::WaitForActivity(int64_t deadlineMs, int /*readFd*/) {
    ++waitCount_;
    int64_t next = std::min(deadlineMs, timers_.NextDue());
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

void VirtualEventPump::WaitForWritable(int64_t deadlineMs, int /*writeFd*/) {
    WaitForActivity(deadlineMs);
}

void VirtualEventPump::Advance(int64_t ms) {
    const int64_t target = now_ + ms;
    for (;;) {
        const int64_t due = timers_.NextDue();
        if (due > target) {
            break;
        }
        now_ = std::max(now_, due);
        timers_.FireDue();
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
