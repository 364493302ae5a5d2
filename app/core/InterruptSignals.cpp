#include "app/core/InterruptSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace quillon {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The second interruption after the first signal, for a wait that was just going to sleep.
constexpr long kNudgeUs = 50 * 1000;

// What the handlers share with the program. One thread: a handler runs between two
// instructions of the code it interrupts.
volatile std::sig_atomic_t gSignal = 0;
volatile std::sig_atomic_t gCount = 0;
CancelFlag* volatile gFlag = nullptr;
int gPipe[2] = {-1, -1};
volatile std::sig_atomic_t gTerminalFd = -1;
termios gTerminal{};

struct sigaction gOldStop[3];
struct sigaction gOldPipe;
struct sigaction gOldAlarm;
bool gInstalled = false;

void OnStop(int signal) {
    const int savedErrno = errno;
    const int count = gCount;
    gCount = count + 1;
    if (count > 0) {
        if (gTerminalFd >= 0) {
            ::tcsetattr(gTerminalFd, TCSANOW, &gTerminal);
        }
        ::_exit(InterruptSignals::ExitCodeFor(signal));
    }
    gSignal = signal;
    if (gFlag != nullptr) {
        gFlag->Cancel();
    }
    if (gPipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    }
    itimerval nudge{};
    nudge.it_value.tv_usec = kNudgeUs;
    ::setitimer(ITIMER_REAL, &nudge, nullptr);
    errno = savedErrno;
}

// Its only task is to interrupt the system call in progress.
void OnNudge(int) {}

bool SetAction(int signal, void (*handler)(int), struct sigaction* old) {
    struct sigaction action {};
    action.sa_handler = handler;
    // The stop handler runs with every stop signal held back, so that two never interleave.
    sigemptyset(&action.sa_mask);
    for (const int stop : kStopSignals) {
        sigaddset(&action.sa_mask, stop);
    }
    action.sa_flags = 0;  // no SA_RESTART: a wait in poll() or read() ends with EINTR
    return ::sigaction(signal, &action, old) == 0;
}

}  // namespace

std::unique_ptr<InterruptSignals> InterruptSignals::Install(std::string& error) {
    if (gInstalled) {
        error = "the stop signals are already watched";
        return nullptr;
    }
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot watch the stop signals: ") + std::strerror(errno);
        return nullptr;
    }
    gSignal = 0;
    gCount = 0;
    gInstalled = true;
    std::unique_ptr<InterruptSignals> signals(new InterruptSignals());
    bool ok = SetAction(SIGALRM, OnNudge, &gOldAlarm) && SetAction(SIGPIPE, SIG_IGN, &gOldPipe);
    for (int i = 0; i < 3; ++i) {
        // A signal ignored on entry stays ignored: nohup, or a background job of a shell.
        ok = ::sigaction(kStopSignals[i], nullptr, &gOldStop[i]) == 0 && ok;
        if (gOldStop[i].sa_handler != SIG_IGN) {
            ok = SetAction(kStopSignals[i], OnStop, nullptr) && ok;
        }
    }
    if (!ok) {
        error = std::string("cannot watch the stop signals: ") + std::strerror(errno);
        return nullptr;
    }
    return signals;
}

InterruptSignals::~InterruptSignals() {
    const itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kStopSignals[i], &gOldStop[i], nullptr);
    }
    ::sigaction(SIGPIPE, &gOldPipe, nullptr);
    ::sigaction(SIGALRM, &gOldAlarm, nullptr);
    gFlag = nullptr;
    for (int& fd : gPipe) {
        ::close(fd);
        fd = -1;
    }
    gInstalled = false;
}

void InterruptSignals::Watch(CancelFlag* flag) {
    gFlag = flag;
    if (flag != nullptr && gSignal != 0) {
        flag->Cancel();
    }
}

int InterruptSignals::Fd() const {
    return gPipe[0];
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
