#include "app/core/UpdateSummary.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr char kReturnCode[] = ": return code ";
constexpr char kBackup[] = "; the codeplug read from the radio is saved in ";
constexpr char kNext[] = ". Next: ";

// The line is one line whatever the texts taken from the radio or the run hold.
std::string OneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        line += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '.')) {
        line.pop_back();
    }
    return line;
}

}  // namespace

const char* UpdateSummary::DefaultNextStep(int code) {
    switch (code) {
        case 0:
            return "";
        case 2:
            return "put the radio back into bootload mode and run the updater again";
        case 3:
            return "restore the codeplug with Tessera (parms upload and download)";
        default:
            return "check the radio, its cable and the port, then run the updater again";
    }
}

std::optional<std::string> UpdateSummary::ReasonIn(const std::string& line) {
    // "<program>: return code N (<meaning>)[: <reason>][; ...backup][. Next: <step>]."
    const std::size_t code = line.find(kReturnCode);
    const std::size_t meaningEnd = line.find(')', code);
    if (code == 0 || code == std::string::npos || line.find(' ') < code ||
        meaningEnd == std::string::npos || line.back() != '.') {
        return std::nullopt;
    }
    const std::size_t number = code + sizeof kReturnCode - 1;
    if (line.compare(number, 2, "0 ") == 0 || line.compare(meaningEnd + 1, 2, ": ") != 0) {
        return std::string();
    }
    const std::size_t start = meaningEnd + 3;
    const std::size_t end =
        std::min({line.find(kBackup, start), line.rfind(kNext), line.size() - 1});
    return line.substr(start, end > start ? end - start : 0);
}

std::string UpdateSummary::Line(const UpdateRecord& record, const std::string& programName) {
    const int code = record.returnCode;
    std::string line = programName + kReturnCode + std::to_string(code) + " (" +
                       UpdateRecord::MeaningOf(code) + ")";
    if (code == 0) {
        line += ": the update is complete";
    } else if (!record.reason.empty()) {
        line += ": " + OneLine(record.reason);
    }
    if (!record.backup.empty()) {
        line += kBackup + record.backup;
    }
    const std::string next = record.nextStep.empty() ? DefaultNextStep(code) : record.nextStep;
    if (!next.empty()) {
        line += kNext + OneLine(next);
    }
    return line + ".\n";
}

}  // namespace quillon
