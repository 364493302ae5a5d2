#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::sim::testing {

// The real quillon-radiosim, started for one test and stopped with it.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The first line of output (the device path); empty if none came in time.
    std::string FirstLine(int timeoutMs = 5000);

    // Sends the signal and waits for the end. Returns the exit code, 128 + signal when killed,
    // -1 when it did not end in time.
    int Stop(int signal, int timeoutMs = 5000);
    // Waits for the end without asking for it.
    int Wait(int timeoutMs);

    // What it wrote to standard error (complete once it has ended).
    std::string ErrorText();

    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int pidFd_ = -1;
    int out_ = -1;
    int err_ = -1;
    int exitCode_ = -1;
    std::string outText_;
};

// The updater's side of the line: the device opened raw, as a serial port would be.
class LineEnd {
public:
    explicit LineEnd(const std::string& path);
    ~LineEnd();
    LineEnd(const LineEnd&) = delete;
    LineEnd& operator=(const LineEnd&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    void Send(const std::vector<uint8_t>& bytes);
    // Reads until `count` bytes have come or the time is up.
    std::vector<uint8_t> Read(size_t count, int timeoutMs = 3000);
    // Everything that comes within the time.
    std::vector<uint8_t> ReadFor(int timeoutMs) { return Read(SIZE_MAX, timeoutMs); }

private:
    int fd_ = -1;
};

// A fresh folder under the temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace quillon::sim::testing
