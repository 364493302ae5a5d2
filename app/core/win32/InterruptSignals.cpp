#include "app/core/InterruptSignals.h"

#include <windows.h>

#include <atomic>

namespace quillon {

namespace {

constexpr int kSigHup = 1;
constexpr int kSigInt = 2;
constexpr int kSigTerm = 15;

// What the handler shares with the program. The handler runs on a thread of its own that the
// system starts for each control event.
std::atomic<int> gSignal{0};
std::atomic<int> gCount{0};
std::atomic<CancelFlag*> gFlag{nullptr};
HANDLE gWake = nullptr;
std::atomic<int> gTerminalFd{-1};
DWORD gTerminal = 0;
bool gInstalled = false;

int SignalOf(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            return kSigInt;
        case CTRL_CLOSE_EVENT:
            return kSigHup;
        default:
            return kSigTerm;
    }
}

BOOL WINAPI OnControl(DWORD event) {
    const int signal = SignalOf(event);
    if (gCount.fetch_add(1) > 0) {
        if (gTerminalFd.load() >= 0) {
            ::SetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), gTerminal);
        }
        ::ExitProcess(static_cast<UINT>(InterruptSignals::ExitCodeFor(signal)));
    }
    gSignal.store(signal);
    if (CancelFlag* flag = gFlag.load()) {
        flag->Cancel();
    }
    // An auto-reset event: it ends the one wait in progress, or the next one when the program
    // is between waits, so the request is never missed.
    ::SetEvent(gWake);
    return TRUE;  // handled: the program unwinds through its own failure path
}

}  // namespace

std::unique_ptr<InterruptSignals> InterruptSignals::Install(std::string& error) {
    if (gInstalled) {
        error = "the stop signals are already watched";
        return nullptr;
    }
    gWake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (gWake == nullptr || !::SetConsoleCtrlHandler(OnControl, TRUE)) {
        error = "cannot watch Ctrl-C: system error " + std::to_string(::GetLastError());
        return nullptr;
    }
    gSignal = 0;
    gCount = 0;
    gInstalled = true;
    return std::unique_ptr<InterruptSignals>(new InterruptSignals());
}

InterruptSignals::~InterruptSignals() {
    ::SetConsoleCtrlHandler(OnControl, FALSE);
    gFlag = nullptr;
    ::CloseHandle(gWake);
    gWake = nullptr;
    gInstalled = false;
}

void InterruptSignals::Watch(CancelFlag* flag) {
    gFlag = flag;
    if (flag != nullptr && gSignal != 0) {
        flag->Cancel();
    }
}

int InterruptSignals::Fd() const {
    return -1;  // no descriptor: the pump wakes on WakeEvent()
}

void* InterruptSignals::WakeEvent() {
    return gWake;
}

bool InterruptSignals::Pending() {
    return gSignal != 0;
}

int InterruptSignals::Signal() {
    return gSignal;
}

void InterruptSignals::KeepTerminal(int fd, const TerminalSettings& settings) {
    gTerminalFd = -1;
    gTerminal = settings;
    gTerminalFd = fd;
}

void InterruptSignals::ReleaseTerminal() {
    gTerminalFd = -1;
}

}  // namespace quillon
