#pragma once

#include <memory>
#include <vector>

#include "serial/EventPump.h"
#include "serial/TimerList.h"

namespace quillon {

// The event pump of the Windows console programs. Waits sleep in WaitForMultipleObjects on the
// given line's event, a waitable timer set to the next timer or the deadline, and the wake
// events added here (the stop request of Ctrl-C), whichever comes first.
class Win32EventPump : public EventPump {
public:
    Win32EventPump();
    ~Win32EventPump() override;

    int64_t NowMs() const override;
    void ProcessEvents() override;
    void WaitForActivity(int64_t deadlineMs, int readFd = -1) override;
    void WaitForWritable(int64_t deadlineMs, int writeFd) override;
    std::unique_ptr<Timer> CreateTimer() override;

    // An event (a HANDLE) that ends any wait when it is set, for as long as the pump lives.
    void AddWakeEvent(void* event);

private:
    void Wait(int64_t deadlineMs, void* lineEvent);

    TimerList timers_;
    void* timer_ = nullptr;  // the waitable timer
    std::vector<void*> wakeEvents_;
};

}  // namespace quillon
