#include "tools/quillon-tool/TerminalPasswordPrompt.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/core/InterruptSignals.h"
#include "serial/posix/WriteAll.h"

namespace quillon::tool {

namespace {

constexpr size_t kMaxInput = 64;
constexpr char kPromptText[] = "Codeplug password: ";

// Reads one line (without its line feed); false at end of input before a line feed.
bool ReadLine(int fd, std::string& line) {
    line.clear();
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR && !InterruptSignals::Pending()) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        if (c == '\n' || c == '\r') {
            return true;
        }
        if (line.size() < kMaxInput) {
            line.push_back(c);
        }
    }
}

std::string Trimmed(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 0x20) {
        ++first;
    }
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 0x20) {
        --last;
    }
    return text.substr(first, last - first);
}

}  // namespace

bool TerminalPasswordPrompt::Ask(std::string& password) {
    if (::isatty(STDIN_FILENO) == 0) {
        std::fprintf(stderr,
                     "The radio asks for its codeplug password, and standard input is not a "
                     "terminal to ask on.\n");
        return false;
    }
    int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    const bool ownFd = fd >= 0;
    if (!ownFd) {
        fd = STDIN_FILENO;
    }
    const int out = ownFd ? fd : STDERR_FILENO;
    termios saved{};
    const bool haveSettings = ::tcgetattr(fd, &saved) == 0;
    if (haveSettings) {
        InterruptSignals::KeepTerminal(fd, saved);
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    WriteAll(out, kPromptText, sizeof kPromptText - 1);
    std::string line;
    const bool answered = ReadLine(fd, line);
    if (haveSettings) {
        ::tcsetattr(fd, TCSAFLUSH, &saved);
        InterruptSignals::ReleaseTerminal();
    }
    if (ownFd) {
        ::close(fd);
    }
    if (!answered) {
        return false;  // end of input: the user gave up
    }
    password = Trimmed(line);
    return true;
}

}  // namespace quillon::tool
