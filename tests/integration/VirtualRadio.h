#pragma once

#include <memory>
#include <string>
#include <vector>

#include "serial/EventPump.h"
#include "tests/serial/support/TempComDir.h"
#include "tests/sim/SimProcess.h"

namespace quillon::test {

// The real virtual radio program for one test: published as a COM number in a COM directory of
// its own (which is $QUILLON_COM_DIR while the radio lives), with its frame log beside it.
// Stopped, at the latest, when the object goes.
class VirtualRadio {
public:
    // Starts the radio with `options` as COM `comNumber`; waits up to 5 s for it to serve.
    VirtualRadio(const std::vector<std::string>& options, int comNumber);
    ~VirtualRadio();
    VirtualRadio(const VirtualRadio&) = delete;
    VirtualRadio& operator=(const VirtualRadio&) = delete;

    // A COM number for the running test, from its name: tests that run side by side use
    // different numbers, and none of them (161 to 255) has a default device to fall back on.
    static int ComNumberForCurrentTest();

    bool Started() const { return !devicePath_.empty(); }
    int Com() const { return com_; }
    const std::string& DevicePath() const { return devicePath_; }
    const std::string& ComDir() const { return coms_.Path(); }
    // What the program wrote to standard error so far.
    std::string ErrorText() { return process_->ErrorText(); }

    // The frame log as it stands, one entry per line.
    std::vector<std::string> LogLines() const;
    std::string Log() const;
    // How many log lines are exactly `line`.
    int Count(const std::string& line) const;
    // How many log lines start with `prefix`.
    int CountStartingWith(const std::string& prefix) const;
    // The position of the first log line that is exactly `line` at or after `from`, or -1.
    int Find(const std::string& line, int from = 0) const;
    // Waits until `line` stands in the log `times` times; false when it did not within the time.
    // With a pump, the wait keeps its events flowing (a port that sends from its event loop).
    bool WaitForLine(const std::string& line, int times = 1, int timeoutMs = 3000,
                     EventPump* pump = nullptr) const;

    // Stops the radio now: its end of the line closes. Returns its exit code.
    int Stop();

private:
    TempComDir coms_;
    int com_;
    std::string logPath_;
    std::unique_ptr<sim::testing::SimProcess> process_;
    std::string devicePath_;
};

}  // namespace quillon::test
