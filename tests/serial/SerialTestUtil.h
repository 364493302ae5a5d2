#pragma once

#include <poll.h>
#include <termios.h>

namespace quillon::test {

// Waits until `fd` has bytes to read (a pseudo-terminal passes bytes on asynchronously).
inline bool WaitReadable(int fd, int timeoutMs = 2000) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN) != 0;
}

// The terminal settings of `fd` now.
inline struct termios TerminalOf(int fd) {
    struct termios tio {};
    ::tcgetattr(fd, &tio);
    return tio;
}

}  // namespace quillon::test
