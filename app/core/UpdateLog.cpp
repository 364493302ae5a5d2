#include "app/core/UpdateLog.h"

#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>

#include "link/VersionInfoText.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace quillon {

namespace {

using json = nlohmann::ordered_json;

json TextOrNull(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

json VersionsOrNull(const UpdateRecord::Versions& versions) {
    if (versions.empty()) {
        return nullptr;
    }
    json object = json::object();
    for (const auto& [name, value] : versions) {
        object[name] = value;
    }
    return object;
}

const char* ResultText(UpdateRecord::Result result) {
    switch (result) {
        case UpdateRecord::Result::Done:
            return "done";
        case UpdateRecord::Result::Failed:
            return "failed";
        case UpdateRecord::Result::Skipped:
            break;
    }
    return "skipped";
}

#ifndef _WIN32
bool AbsoluteVariable(const char* name, std::string& value) {
    const char* text = std::getenv(name);
    if (text == nullptr || text[0] != '/') {
        return false;
    }
    value = text;
    return true;
}
#endif

}  // namespace

std::string UpdateLog::DefaultPath() {
#ifdef _WIN32
    // Beside the backups: %LOCALAPPDATA%\quillon.
    const char* local = std::getenv("LOCALAPPDATA");
    if (local != nullptr && local[0] != '\0' && local[1] == ':') {
        return std::string(local) + "\\quillon\\updates.jsonl";
    }
    return {};
#else
    std::string folder;
    if (AbsoluteVariable("XDG_STATE_HOME", folder)) {
        return folder + "/quillon/updates.jsonl";
    }
    if (AbsoluteVariable("HOME", folder)) {
        return folder + "/.local/state/quillon/updates.jsonl";
    }
    return {};
#endif
}

std::string UpdateLog::TimeText(UpdateRecord::Clock::time_point when) {
    const std::time_t seconds = UpdateRecord::Clock::to_time_t(when);
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &seconds);
#else
    gmtime_r(&seconds, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string UpdateLog::Line(const UpdateRecord& record, long pid) {
    json steps = json::array();
    for (const UpdateRecord::Step& step : record.steps) {
        steps.push_back({{"step", step.name},
                         {"result", ResultText(step.result)},
                         {"detail", TextOrNull(step.detail)}});
    }
    const bool ended = record.ended != UpdateRecord::Clock::time_point{};
    json line = {
        {"started", TimeText(record.started)},
        {"ended", ended ? json(TimeText(record.ended)) : json(nullptr)},
        {"pid", pid},
        {"mode", record.console ? "console" : "window"},
        {"port", record.port > 0 ? json(record.port) : json(nullptr)},
        {"device", TextOrNull(record.device)},
        // As the version panel shows it, whatever form the step that read it kept.
        {"serial", TextOrNull(PanelSerialNumber(record.serial))},
        {"model", TextOrNull(record.model)},
        {"series", TextOrNull(record.series)},
        {"versions_before", VersionsOrNull(record.versionsBefore)},
        {"versions_after", VersionsOrNull(record.versionsAfter)},
        {"codeplug_format_before", TextOrNull(record.codeplugFormatBefore)},
        {"codeplug_format_after", TextOrNull(record.codeplugFormatAfter)},
        {"steps", steps},
        {"return_code", record.returnCode},
        {"meaning", UpdateRecord::MeaningOf(record.returnCode)},
        {"reason", record.returnCode == 0 ? json(nullptr) : TextOrNull(record.reason)},
        {"backup", TextOrNull(record.backup)},
    };
    // Texts from the radio or the file system may hold any byte: they are replaced rather than
    // losing the line.
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool UpdateLog::Append(const UpdateRecord& record, std::string& error) const {
    return AppendLine(Line(record, ProcessId()), error);
}

bool UpdateLog::AppendLine(const std::string& line, std::string& error) const {
    if (path_.empty()) {
        error = "no log folder (neither XDG_STATE_HOME nor HOME is set)";
        return false;
    }
    const auto slash = path_.find_last_of("/\\");
    if (slash != std::string::npos && slash > 0 &&
        !FileSystem::MakeFolders(path_.substr(0, slash), error)) {
        return false;
    }
    return FileSystem::Append(path_, line + "\n", error);
}

}  // namespace quillon
