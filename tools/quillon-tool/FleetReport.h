#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "tools/quillon-tool/FleetRadio.h"

namespace quillon::tool {

// The outcome of a fleet run: the table on the terminal, the JSON report and the exit code.
class FleetReport {
public:
    // The updater's own words for its return codes 0 to 3; other codes say what ended it.
    static std::string Meaning(int returnCode);
    // 0 when every radio returned 0, else the worst code in the order 1 > 3 > 2 > 0; a radio
    // that was not run, or whose updater ended any other way, counts as 1. Skipped ports (no
    // radio answered there) do not count.
    static int ExitCode(const std::vector<FleetRadio>& radios);
    // "2026-12-09T03:10:00Z"
    static std::string UtcTime(std::chrono::system_clock::time_point when);

    static void PrintTable(std::ostream& out, const std::vector<FleetRadio>& radios);
    static nlohmann::ordered_json Json(const std::vector<FleetRadio>& radios,
                                       std::chrono::system_clock::time_point started,
                                       std::chrono::system_clock::time_point ended);
    // Written whole or not at all (a temporary file renamed); false with `error` set.
    static bool Write(const std::string& path, const nlohmann::ordered_json& report,
                      std::string& error);
};

}  // namespace quillon::tool
