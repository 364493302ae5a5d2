#include "tools/quillon-tool/TerminalPasswordPrompt.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "serial/posix/WriteAll.h"
#endif

#include <cerrno>
#include <cstdio>

#include "app/core/InterruptSignals.h"

namespace quillon::tool {

namespace {

constexpr size_t kMaxInput = 64;
constexpr char kPromptText[] = "Codeplug password: ";

#ifndef _WIN32
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
#endif

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

#ifdef _WIN32
// The console's input without echo (SetConsoleMode), read as a line of wide characters.
bool TerminalPasswordPrompt::Ask(std::string& password) {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    if (input == INVALID_HANDLE_VALUE || !::GetConsoleMode(input, &saved)) {
        std::fprintf(stderr,
                     "The radio asks for its codeplug password, and standard input is not a "
                     "terminal to ask on.\n");
        return false;
    }
    InterruptSignals::KeepTerminal(0, saved);
    ::SetConsoleMode(input, (saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT |
                                ENABLE_PROCESSED_INPUT);
    std::fputs(kPromptText, stderr);
    std::fflush(stderr);
    std::wstring wide;
    bool answered = false;
    for (;;) {
        wchar_t c = 0;
        DWORD n = 0;
        if (!::ReadConsoleW(input, &c, 1, &n, nullptr) || n == 0 || InterruptSignals::Pending()) {
            break;
        }
        if (c == L'\n' || c == L'\r') {
            answered = true;
            break;
        }
        if (wide.size() < kMaxInput) {
            wide.push_back(c);
        }
    }
    ::SetConsoleMode(input, saved);
    InterruptSignals::ReleaseTerminal();
    std::fputs("\n", stderr);
    if (!answered) {
        return false;  // end of input: the user gave up
    }
    std::string line;
    if (!wide.empty()) {
        const int size = static_cast<int>(wide.size());
        line.resize(static_cast<size_t>(
            ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)));
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, line.data(),
                              static_cast<int>(line.size()), nullptr, nullptr);
    }
    password = Trimmed(line);
    return true;
}
#else
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
#endif

}  // namespace quillon::tool
