#include "tools/quillon-tool/FleetRadio.h"

namespace quillon::tool {
namespace {

constexpr char kSerialKey[] = "radio_serial_number";

// A text field of the log line; "" for null, a missing field or another type.
std::string Text(const nlohmann::ordered_json& entry, const char* key) {
    const auto found = entry.find(key);
    return found != entry.end() && found->is_string() ? found->get<std::string>() : std::string();
}

FleetRadio::Versions VersionsOf(const nlohmann::ordered_json& object,
                                const std::string& skip = {}) {
    FleetRadio::Versions versions;
    if (!object.is_object()) {
        return versions;
    }
    for (const auto& [name, value] : object.items()) {
        if (name != skip && name != "port" && value.is_string()) {
            versions.emplace_back(name, value.get<std::string>());
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
    if (info.is_object()) {
        versionsAfter = VersionsOf(info, kSerialKey);
    }
}

void FleetRadio::TakeLogEntry(const nlohmann::ordered_json& entry) {
    logged = true;
    for (const auto& [field, target] :
         {std::pair{"serial", &serial}, std::pair{"model", &model}, std::pair{"series", &series}}) {
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
        reason = console.LastMessage();
    }
}

}  // namespace quillon::tool
