#include "app/core/UpdateSummary.h"

namespace quillon {

namespace {

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

std::string UpdateSummary::Line(const UpdateRecord& record, const std::string& programName) {
    const int code = record.returnCode;
    std::string line = programName + ": return code " + std::to_string(code) + " (" +
                       UpdateRecord::MeaningOf(code) + ")";
    if (code == 0) {
        line += ": the update is complete";
    } else if (!record.reason.empty()) {
        line += ": " + OneLine(record.reason);
    }
    if (!record.backup.empty()) {
        line += "; the codeplug read from the radio is saved in " + record.backup;
    }
    const std::string next = record.nextStep.empty() ? DefaultNextStep(code) : record.nextStep;
    if (!next.empty()) {
        line += ". Next: " + OneLine(next);
    }
    return line + ".\n";
}

}  // namespace quillon
