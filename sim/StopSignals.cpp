#include "sim/StopSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillon::sim {

namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

std::unique_ptr<StopSignals> StopSignals::Install(std::string& error) {
    const sigset_t set = StopSet();
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) {
        error = std::string("cannot block the stop signals: ") + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<StopSignals> signals(new StopSignals());
    signals->fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signals->fd_ < 0) {
        error = std::string("cannot watch the stop signals: ") + std::strerror(errno);
        return nullptr;
    }
    return signals;
}

StopSignals::~StopSignals() {
    if (fd_ >= 0) {
        close(fd_);
    }
    // The signals stay blocked: one arriving late must not cut the program's clean-up short.
}

std::string StopSignals::Take() {
    signalfd_siginfo info{};
    if (read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        return "a signal";
    }
    switch (info.ssi_signo) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(info.ssi_signo);
    }
}

}  // namespace quillon::sim
