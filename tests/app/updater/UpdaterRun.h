#pragma once

#include <string>
#include <vector>

namespace quillon::test {

// One run of the real quillon-updater: arguments, working folder and environment in; what it
// wrote to standard output and standard error and its exit code out. Standard input is empty,
// so "Press <ENTER> to close." returns at once.
struct UpdaterRun {
    std::vector<std::string> args;
    std::string folder;                    // working folder
    std::vector<std::string> environment;  // NAME=value added to the test's own
    int timeoutMs = 240000;
    // When `signal` is set, it is sent once standard output holds `signalAfter`; `msToEnd` is
    // then how long the program took to end after it.
    int signal = 0;
    int secondSignal = 0;  // sent right after `signal`
    std::string signalAfter;
    long msToEnd = -1;

    std::string out;
    std::string err;
    int exitCode = -1;  // -1: did not end in time (killed)

    // Runs the program and waits for its end.
    UpdaterRun& Run();
};

}  // namespace quillon::test
