#include "SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/support/ChildProcess.h"

namespace quillon::sim::testing {

namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

SimProcess::SimProcess(const std::vector<std::string>& args) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::string error;
    pid_ = quillon::test::StartProgram(
        quillon::test::Program(QUILLON_BINARY_DIR "/sim/quillon-radiosim", args), outPipe[1],
        errPipe[1], error);
    close(outPipe[1]);
    close(errPipe[1]);
    out_ = outPipe[0];
    err_ = errPipe[0];
    if (pid_ < 0) {
        throw std::runtime_error(error);
    }
    pidFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
}

SimProcess::~SimProcess() {
    if (pid_ > 0 && exitCode_ < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {pidFd_, out_, err_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

std::string SimProcess::FirstLine(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t newline = outText_.find('\n');
        if (newline != std::string::npos) {
            return outText_.substr(0, newline);
        }
        pollfd fd{out_, POLLIN, 0};
        if (poll(&fd, 1, Remaining(deadline)) <= 0) {
            return "";
        }
        char buffer[256];
        const ssize_t count = read(out_, buffer, sizeof buffer);
        if (count <= 0) {
            return "";  // ended without a line
        }
        outText_.append(buffer, static_cast<size_t>(count));
    }
}

int SimProcess::Wait(int timeoutMs) {
    if (exitCode_ >= 0) {
        return exitCode_;
    }
    pollfd fd{pidFd_, POLLIN, 0};
    if (pidFd_ >= 0 && poll(&fd, 1, timeoutMs) <= 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) {
        return -1;
    }
    exitCode_ = quillon::test::ExitCodeOf(status);
    return exitCode_;
}

int SimProcess::Stop(int signal, int timeoutMs) {
    if (exitCode_ < 0) {
        kill(pid_, signal);
    }
    return Wait(timeoutMs);
}

std::string SimProcess::ErrorText() {
    std::string text;
    char buffer[512];
    pollfd fd{err_, POLLIN, 0};
    while (poll(&fd, 1, 0) > 0) {
        const ssize_t count = read(err_, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(count));
    }
    return text;
}

LineEnd::LineEnd(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    termios settings{};
    tcgetattr(fd_, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B19200);
    tcsetattr(fd_, TCSANOW, &settings);
}

LineEnd::~LineEnd() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

void LineEnd::Send(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = write(fd_, bytes.data() + done, bytes.size() - done);
        if (count > 0) {
            done += static_cast<size_t>(count);
        } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("write to the line failed");
        } else {
            pollfd fd{fd_, POLLOUT, 0};
            poll(&fd, 1, 1000);
        }
    }
}

std::vector<uint8_t> LineEnd::Read(size_t count, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<uint8_t> bytes;
    while (bytes.size() < count) {
        pollfd fd{fd_, POLLIN, 0};
        if (poll(&fd, 1, Remaining(deadline)) <= 0) {
            break;
        }
        uint8_t buffer[256];
        const size_t want = std::min(sizeof buffer, count - bytes.size());
        const ssize_t got = read(fd_, buffer, want);
        if (got <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/radiosim-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace quillon::sim::testing
