#include "tools/quillon-tool/FleetReport.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "app/core/UpdateLog.h"
#include "tools/quillon-tool/JsonFindings.h"

namespace quillon::tool {
namespace {

constexpr int kSuccess = 0;
constexpr int kGeneralError = 1;
constexpr int kBootUpgraded = 2;
constexpr int kCodeplugError = 3;

std::string StatusOf(const FleetRadio& radio) {
    switch (radio.state) {
        case FleetRadio::State::kSkipped:
            return "skipped";
        case FleetRadio::State::kNotRun:
            return "not run";
        case FleetRadio::State::kDone:
            return "updated";
        default:
            return "unfinished";
    }
}

std::string OrUnknown(const std::string& text) {
    return text.empty() ? "unknown" : text;
}

nlohmann::ordered_json OrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

nlohmann::ordered_json VersionsJson(const FleetRadio::Versions& versions, bool known) {
    if (!known) {
        return nullptr;
    }
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& [name, value] : versions) {
        object[name] = value;
    }
    return object;
}

// The value after the update of the version called `name` before it (names compared plainly,
// so "Controller Version" and "controller_version" are one); "unknown" when neither the radio
// nor the log says.
std::string AfterOf(const FleetRadio& radio, const std::string& name) {
    for (const auto& [afterName, value] : radio.versionsAfter) {
        if (PlainKey(afterName) == PlainKey(name)) {
            return value;
        }
    }
    return "unknown";
}

std::string Duration(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

}  // namespace

std::string FleetReport::Meaning(int returnCode) {
    switch (returnCode) {
        case kSuccess:
            return "Success";
        case kGeneralError:
            return "General error";
        case kBootUpgraded:
            return "Bootloader code needed upgraded";
        case kCodeplugError:
            return "Codeplug conversion error (Application code successfully upgraded)";
        case -1:
            return "not run";
        default:
            return returnCode > 128 ? "ended by signal " + std::to_string(returnCode - 128)
                                    : "unexpected return code";
    }
}

int FleetReport::ExitCode(const std::vector<FleetRadio>& radios) {
    // Worst first.
    constexpr int kOrder[] = {kGeneralError, kCodeplugError, kBootUpgraded, kSuccess};
    auto rank = [&](int code) {
        for (int i = 0; i < 4; ++i) {
            if (kOrder[i] == code) {
                return i;
            }
        }
        return 0;  // anything else counts as a general error
    };
    int worst = kSuccess;
    bool any = false;
    for (const FleetRadio& radio : radios) {
        if (radio.state == FleetRadio::State::kSkipped) {
            continue;
        }
        any = true;
        const int code = radio.state == FleetRadio::State::kDone ? radio.returnCode : kGeneralError;
        if (rank(code) < rank(worst)) {
            worst = rank(code) == 0 ? kGeneralError : code;
        }
    }
    return any ? worst : kGeneralError;
}

std::string FleetReport::UtcTime(std::chrono::system_clock::time_point when) {
    return UpdateLog::TimeText(when);
}

void FleetReport::PrintTable(std::ostream& out, const std::vector<FleetRadio>& radios) {
    out << std::left << std::setw(7) << "Port" << std::setw(25) << "Serial" << std::setw(16)
        << "Model/series" << std::setw(10) << "Duration"
        << "Return code\n";
    for (const FleetRadio& radio : radios) {
        const std::string port = "COM" + std::to_string(radio.port);
        if (radio.state == FleetRadio::State::kSkipped ||
            radio.state == FleetRadio::State::kNotRun) {
            out << std::setw(7) << port << StatusOf(radio) << ": " << radio.note << "\n";
            continue;
        }
        const std::string model = radio.model.empty() && radio.series.empty()
                                      ? "unknown"
                                      : radio.model + " series " + radio.series;
        out << std::setw(7) << port << std::setw(25) << OrUnknown(radio.serial) << std::setw(16)
            << model << std::setw(10) << Duration(radio.seconds) << radio.returnCode << " "
            << Meaning(radio.returnCode) << "\n";
        if (!radio.reason.empty()) {
            std::string reason = radio.reason;
            std::replace(reason.begin(), reason.end(), '\n', ' ');
            out << "       reason: " << reason << "\n";
        }
        out << "       backup: " << (radio.backup.empty() ? "none" : radio.backup) << "\n";
        for (const auto& [name, before] : radio.versionsBefore) {
            out << "       " << std::setw(24) << name << before << " -> " << AfterOf(radio, name)
                << "\n";
        }
        if (radio.versionsBefore.empty()) {
            out << "       versions: unknown (the radio did not answer the version query)\n";
        }
    }
    out.flush();
}

nlohmann::ordered_json FleetReport::Json(const std::vector<FleetRadio>& radios,
                                         std::chrono::system_clock::time_point started,
                                         std::chrono::system_clock::time_point ended) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const FleetRadio& radio : radios) {
        const bool ran = radio.state == FleetRadio::State::kDone;
        nlohmann::ordered_json entry = {
            {"port", radio.port},
            {"status", StatusOf(radio)},
            {"note", OrNull(radio.note)},
            {"serial", OrNull(radio.serial)},
            {"model", OrNull(radio.model)},
            {"series", OrNull(radio.series)},
            {"versions_before", VersionsJson(radio.versionsBefore, radio.answered)},
            {"versions_after", VersionsJson(radio.versionsAfter, !radio.versionsAfter.empty())},
            {"return_code",
             ran ? nlohmann::ordered_json(radio.returnCode) : nlohmann::ordered_json()},
            {"meaning",
             ran ? nlohmann::ordered_json(Meaning(radio.returnCode)) : nlohmann::ordered_json()},
            {"reason", OrNull(radio.reason)},
            {"backup", OrNull(radio.backup)},
            {"steps", radio.steps},
            {"started",
             ran ? nlohmann::ordered_json(UtcTime(radio.started)) : nlohmann::ordered_json()},
            {"ended",
             ran ? nlohmann::ordered_json(UtcTime(radio.ended)) : nlohmann::ordered_json()},
            {"duration_seconds",
             ran ? nlohmann::ordered_json(radio.seconds) : nlohmann::ordered_json()},
        };
        list.push_back(std::move(entry));
    }
    return {{"started", UtcTime(started)},
            {"ended", UtcTime(ended)},
            {"exit_code", ExitCode(radios)},
            {"radios", list}};
}

bool FleetReport::Write(const std::string& path, const nlohmann::ordered_json& report,
                        std::string& error) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << report.dump(2) << "\n";
        out.close();
        if (!out) {
            error = "cannot write " + temporary;
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace quillon::tool
