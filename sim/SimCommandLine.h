#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "sim/RadioConfig.h"

namespace quillon::sim {

// Everything one run of the virtual radio is told.
struct SimOptions {
    std::string logPath;
    std::string comDir;
    int comNumber = 0;            // 0: not published as a COM port
    double exitAfterSeconds = 0;  // 0: serve until stopped
    // Where --scenario NAME is looked for: the folder that comes with the program, unless
    // --scenario-dir or $QUILLON_SCENARIO_DIR names another.
    std::string scenarioDir;
    RadioConfig config;
};

// Reads the command line: the scenario first, then the overrides given as options.
// Returns an exit code when the program should end at once (0 after --help, --version or
// --list-scenarios, 2 for a bad option or scenario, with the text written to `out` or `err`),
// nothing to go on.
std::optional<int> ParseSimCommandLine(int argc, const char* const* argv, SimOptions& options,
                                       std::ostream& out, std::ostream& err);

}  // namespace quillon::sim
