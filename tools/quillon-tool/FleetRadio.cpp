#include "tools/quillon-tool/FleetRadio.h"

#include <algorithm>

#include "link/VersionInfoText.h"
#include "tools/quillon-tool/JsonFindings.h"

namespace quillon::tool {
namespace {

constexpr char kSerialKey[] = "radio_serial_number";

// A text field of the log line; "" for null, a missing field or another type.
std::string Text(const nlohmann::ordered_json& entry, const char* key) {
    const auto found = entry.find(key);
    return found != entry.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// The versions of a query's answer or a log line, under their plain names ("Boot Load Version"
// of the log is the query's "boot_load_version").
FleetRadio::Versions VersionsOf(const nlohmann::ordered_json& object,
                                const std::string& skip = {}) {
    FleetRadio::Versions versions;
    if (!object.is_object()) {
        return versions;
    }
    for (const auto& [name, value] : object.items()) {
        const std::string plain = PlainKey(name);
        if (plain != skip && plain != "port" && value.is_string()) {
            versions.emplace_back(plain, value.get<std::string>());
        }
    }
    return versions;
}

}  // namespace

bool FleetRadio::TakeQuery(const nlohmann::ordered_json& info) {
    if (!info.is_object()) {
        return false;
    }
    serial = Text(info, kSerialKey);
    versionsBefore = VersionsOf(info, kSerialKey);
    answered = !versionsBefore.empty();
    return answered;
}

void FleetRadio::TakeQueryAfter(const nlohmann::ordered_json& info) {
    Versions versions = VersionsOf(info, kSerialKey);
    if (versions.empty()) {
        return;
    }
    for (const auto& logged : versionsAfter) {
        const bool asked = std::any_of(versions.begin(), versions.end(),
                                       [&](const auto& v) { return v.first == logged.first; });
        if (!asked) {
            versions.push_back(logged);
        }
    }
    versionsAfter = std::move(versions);
}

void FleetRadio::TakeLogEntry(const nlohmann::ordered_json& entry) {
    if (serial.empty()) {
        serial = PanelSerialNumber(Text(entry, "serial"));
    }
    for (const auto& [field, target] : {std::pair{"model", &model}, std::pair{"series", &series}}) {
        const std::string value = Text(entry, field);
        if (!value.empty()) {
            *target = value;
        }
    }
    versionsAfter = VersionsOf(entry.value("versions_after", nlohmann::ordered_json()));
    reason = Text(entry, "reason");
    backup = Text(entry, "backup");
    const auto found = entry.find("steps");
    if (found != entry.end() && found->is_array()) {
        steps = *found;
    }
}

void FleetRadio::TakeConsole() {
    if (backup.empty()) {
        backup = console.Backup();
    }
    if (reason.empty() && returnCode != 0) {
        // The summary says what the log would have; an updater ended before it, its last error.
        reason = console.SummaryReason().empty() ? console.LastMessage() : console.SummaryReason();
    }
}

}  // namespace quillon::tool
