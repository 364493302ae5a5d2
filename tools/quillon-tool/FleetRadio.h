#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tools/quillon-tool/UpdaterConsoleParser.h"

namespace quillon::tool {

// One radio of a fleet run: what was asked of it before, how its update went, what it left.
struct FleetRadio {
    enum class State {
        kWaiting,   // for a free place (--jobs)
        kQuerying,  // its versions are being read
        kUpdating,  // the updater runs
        kChecking,  // the updater ended; its versions are being read again
        kDone,      // the updater ended
        kSkipped,   // `all`: the device answered nothing
        kNotRun,    // stopped before its turn, or the updater did not start
    };
    using Versions = std::vector<std::pair<std::string, std::string>>;  // name, value

    // Takes the answer of `quillon-tool info --json` (the version query); false when it holds
    // no versions.
    bool TakeQuery(const nlohmann::ordered_json& info);
    // The same query after the update: its versions replace the log's, whose names the query
    // did not give stay (the log holds only what the updater itself read or wrote).
    void TakeQueryAfter(const nlohmann::ordered_json& info);
    // Takes the updater's line of the update log: versions after (under the query's plain
    // names), steps, reason, backup, model and series, and the radio's serial number (in the
    // version panel's form) where the query gave none.
    void TakeLogEntry(const nlohmann::ordered_json& entry);
    // What the console told where the log had nothing: backup path, reason (its summary's, else
    // its last message).
    void TakeConsole();

    int port = 0;
    bool fromAll = false;
    State state = State::kWaiting;
    std::string note;  // why it was skipped or not run

    // The version query before the update.
    bool answered = false;
    std::string serial;
    Versions versionsBefore;
    std::string model;
    std::string series;

    // The update.
    UpdaterConsoleParser console;
    int returnCode = -1;
    std::string reason;
    std::string backup;
    Versions versionsAfter;
    nlohmann::ordered_json steps;  // null until the update log tells
    std::chrono::system_clock::time_point started{};
    std::chrono::system_clock::time_point ended{};
    double seconds = 0;
};

}  // namespace quillon::tool
