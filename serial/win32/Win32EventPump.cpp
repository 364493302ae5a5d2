#include "serial/win32/Win32EventPump.h"

#include <windows.h>

#include <algorithm>

#include "serial/win32/Win32SerialLine.h"

namespace quillon {

namespace {

int64_t MonotonicMs() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return static_cast<int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    return static_cast<int64_t>(now.QuadPart / frequency * 1000 +
                                now.QuadPart % frequency * 1000 / frequency);
}

}  // namespace

Win32EventPump::Win32EventPump()
    : timers_([] { return MonotonicMs(); }),
      timer_(::CreateWaitableTimerW(nullptr, TRUE, nullptr)) {}

Win32EventPump::~Win32EventPump() {
    if (timer_ != nullptr) {
        ::CloseHandle(timer_);
    }
}

int64_t Win32EventPump::NowMs() const {
    return MonotonicMs();
}

void Win32EventPump::ProcessEvents() {
    timers_.FireDue();
}

std::unique_ptr<Timer> Win32EventPump::CreateTimer() {
    return timers_.CreateTimer();
}

void Win32EventPump::AddWakeEvent(void* event) {
    wakeEvents_.push_back(event);
}

void Win32EventPump::WaitForActivity(int64_t deadlineMs, int readFd) {
    Wait(deadlineMs, Win32SerialLine::ReadEventOf(readFd));
}

void Win32EventPump::WaitForWritable(int64_t deadlineMs, int writeFd) {
    Wait(deadlineMs, Win32SerialLine::WriteEventOf(writeFd));
}

void Win32EventPump::Wait(int64_t deadlineMs, void* lineEvent) {
    const int64_t until = std::min(deadlineMs, timers_.NextDue());
    const int64_t left = until == TimerList::kNever ? -1 : until - NowMs();
    if (left != 0 && !(left < 0 && until != TimerList::kNever)) {
        std::vector<HANDLE> handles;
        if (lineEvent != nullptr) {
            handles.push_back(lineEvent);
        }
        handles.insert(handles.end(), wakeEvents_.begin(), wakeEvents_.end());
        // Without a timer the wait's own time-out keeps the deadline.
        DWORD timeout =
            left < 0 ? INFINITE : static_cast<DWORD>(std::min<int64_t>(left, 0x7FFFFFFF));
        if (left > 0 && timer_ != nullptr) {
            LARGE_INTEGER due{};
            due.QuadPart = -left * 10000;  // relative, in 100 ns units
            if (::SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
                handles.push_back(timer_);
                timeout = INFINITE;
            }
        }
        if (!handles.empty()) {
            ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                     timeout);
        } else if (timeout != INFINITE) {
            ::Sleep(timeout);
        } else {
            ::Sleep(INFINITE);  // nothing can ever wake this wait; as poll() with nothing
        }
        if (timer_ != nullptr) {
            ::CancelWaitableTimer(timer_);
        }
    }
    ProcessEvents();
}

}  // namespace quillon
