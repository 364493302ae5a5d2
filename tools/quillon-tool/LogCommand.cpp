// `quillon-tool log [--serial S] [--json]`: the update log, one update a line (when it started,
// the port, the radio's serial number and model, the versions before and after, the return code
// with its meaning or reason, the backup), or with --json the logged records as one JSON array.

#include <CLI/CLI.hpp>
#include <cctype>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "app/core/UpdateLog.h"
#include "tools/quillon-tool/ToolCommand.h"

namespace quillon::tool {
namespace {

using Json = nlohmann::ordered_json;

// A serial number to compare: upper case, without the '-' between the digit pairs, so that
// "00-00-00-00-00-00-00-b2" and "00000000000000B2" (as older lines hold it) are one.
std::string SerialKey(const std::string& serial) {
    std::string key;
    for (const unsigned char c : serial) {
        if (c != '-') {
            key += static_cast<char>(std::toupper(c));
        }
    }
    return key;
}

// A field as text; "-" for a value that is absent or null.
std::string Field(const Json& record, const char* name) {
    const auto it = record.find(name);
    if (it == record.end() || it->is_null()) {
        return "-";
    }
    return it->is_string() ? it->get<std::string>() : it->dump();
}

// "Boot Load Version 6.5 -> 6.7" for each version either side names.
std::string Versions(const Json& record) {
    const auto before = record.find("versions_before");
    const auto after = record.find("versions_after");
    const bool hasBefore = before != record.end() && before->is_object();
    const bool hasAfter = after != record.end() && after->is_object();
    std::string text;
    auto add = [&](const std::string& name) {
        if (text.find(name + " ") != std::string::npos) {
            return;
        }
        const std::string from = hasBefore ? Field(*before, name.c_str()) : "-";
        const std::string to = hasAfter ? Field(*after, name.c_str()) : "-";
        text += (text.empty() ? "" : ", ") + name + " " + from + " -> " + to;
    };
    for (const Json* side : {hasBefore ? &*before : nullptr, hasAfter ? &*after : nullptr}) {
        if (side != nullptr) {
            for (const auto& [name, value] : side->items()) {
                add(name);
            }
        }
    }
    const std::string formatBefore = Field(record, "codeplug_format_before");
    const std::string formatAfter = Field(record, "codeplug_format_after");
    if (formatBefore != "-" || formatAfter != "-") {
        text += (text.empty() ? "" : ", ") + std::string("codeplug ") + formatBefore + " -> " +
                formatAfter;
    }
    return text.empty() ? "-" : text;
}

std::string TextLine(const Json& record) {
    const std::string port = Field(record, "port");
    std::string line = Field(record, "started") + "  " + (port == "-" ? port : "COM" + port) +
                       "  " + Field(record, "serial") + "  " + Field(record, "model");
    const std::string series = Field(record, "series");
    if (series != "-") {
        line += " series " + series;
    }
    line += "  " + Versions(record) + "  return code " + Field(record, "return_code") + " (" +
            Field(record, "meaning") + ")";
    const std::string reason = Field(record, "reason");
    if (reason != "-") {
        line += ": " + reason;
    }
    const std::string backup = Field(record, "backup");
    if (backup != "-") {
        line += "  backup " + backup;
    }
    return line;
}

int RunLog(const std::string& serial, bool json) {
    const std::string path = UpdateLog::DefaultPath();
    std::ifstream in(path);
    if (!in) {
        if (json) {
            std::cout << "[]\n";
        } else {
            std::cout << "No update has been logged"
                      << (path.empty() ? std::string(".") : " (" + path + " does not exist).")
                      << '\n';
        }
        return 0;
    }
    Json selected = Json::array();
    int skipped = 0;
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty()) {
            continue;
        }
        Json record = Json::parse(text, nullptr, false);
        if (record.is_discarded() || !record.is_object()) {
            ++skipped;  // a line cut short by a full disk, or one written by hand
            continue;
        }
        if (!serial.empty() && SerialKey(Field(record, "serial")) != SerialKey(serial)) {
            continue;
        }
        selected.push_back(std::move(record));
    }
    if (in.bad()) {
        std::cerr << path << ": could not be read\n";
        return 1;
    }
    if (json) {
        std::cout << selected.dump(2) << '\n';
    } else {
        for (const Json& record : selected) {
            std::cout << TextLine(record) << '\n';
        }
        if (selected.empty()) {
            std::cout << (serial.empty()
                              ? "No update has been logged.\n"
                              : "No update of serial number " + serial + " has been logged.\n");
        }
    }
    if (skipped > 0) {
        std::cerr << path << ": " << skipped << " line(s) are no update record; skipped\n";
    }
    return 0;
}

void AddLogCommand(CLI::App& app, int& exitCode) {
    CLI::App* log = app.add_subcommand("log", "Show the update log (every update the updater ran)");
    struct LogOptions {
        std::string serial;
        bool json = false;
    };
    auto options = std::make_shared<LogOptions>();
    log->add_option("--serial", options->serial,
                    "Only the updates of this radio (16 hexadecimal digits)");
    log->add_flag("--json", options->json, "The logged records as one JSON array");
    log->footer(
        "The log is $XDG_STATE_HOME/quillon/updates.jsonl (~/.local/state when unset): one "
        "JSON object a line.");
    log->callback([options, &exitCode] { exitCode = RunLog(options->serial, options->json); });
}

[[maybe_unused]] const bool kRegistered = RegisterToolCommand(AddLogCommand);

}  // namespace
}  // namespace quillon::tool
