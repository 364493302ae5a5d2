#include "serial/ComPortPath.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace quillon {

std::string ComPortPath::DefaultDevice(int n) {
    if (n >= 1 && n <= 32) {
        return "/dev/ttyS" + std::to_string(n - 1);
    }
    if (n >= 33 && n <= 96) {
        return "/dev/ttyUSB" + std::to_string(n - 33);
    }
    if (n >= 97 && n <= 160) {
        return "/dev/ttyACM" + std::to_string(n - 97);
    }
    return {};
}

std::string ComPortPath::Resolve(int n) {
    if (n < kFirst || n > kLast) {
        return {};
    }
    if (const char* dir = std::getenv(kDirVariable); dir != nullptr && *dir != '\0') {
        std::string entry = std::string(dir) + "/com" + std::to_string(n);
        struct stat st {};
        // The entry counts even when it is a link to nothing: a published port that has gone
        // away must not quietly turn into the default device of the same number.
        if (::lstat(entry.c_str(), &st) == 0) {
            return entry;
        }
    }
    return DefaultDevice(n);
}

ComPortPath::State ComPortPath::ProbePath(const std::string& path) {
    if (path.empty()) {
        return State::Absent;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM) {
            return State::NoAccess;
        }
        return errno == EBUSY ? State::InUse : State::Absent;
    }
    State state = State::Absent;
    if (::isatty(fd) == 1) {
        state = ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? State::Present : State::InUse;
    }
    ::close(fd);  // also releases the lock taken above
    return state;
}

ComPortPath::State ComPortPath::Probe(int n) {
    return ProbePath(Resolve(n));
}

std::vector<ComPortPath::PortInfo> ComPortPath::Enumerate() {
    std::vector<PortInfo> ports;
    for (int n = kFirst; n <= kLast; ++n) {
        const std::string path = Resolve(n);
        if (path.empty()) {
            continue;
        }
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
            continue;  // no device there: skip without opening anything
        }
        const State state = ProbePath(path);
        if (state == State::Absent) {
            continue;
        }
        PortInfo info;
        info.number = n;
        info.path = path;
        char resolved[PATH_MAX];
        info.devicePath = ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
        info.inUse = state == State::InUse;
        info.noAccess = state == State::NoAccess;
        ports.push_back(std::move(info));
    }
    return ports;
}

}  // namespace quillon
