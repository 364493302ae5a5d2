#include "tools/quillon-tool/UpdaterConsoleParser.h"

#include <algorithm>

#include "app/core/UpdateSummary.h"

namespace quillon::tool {
namespace {

constexpr std::string_view kEllipsis = "...";
constexpr std::string_view kComplete = "% complete";
constexpr std::string_view kDone = "Done.";
constexpr std::string_view kSaved = "Codeplug saved to ";

// The percent at the end of "...N% complete" (of its last report when the line holds several),
// or -1.
int PercentIn(std::string_view rest) {
    const auto end = rest.rfind(kComplete);
    if (end == std::string_view::npos) {
        return -1;
    }
    auto start = end;
    while (start > 0 && rest[start - 1] >= '0' && rest[start - 1] <= '9') {
        --start;
    }
    if (start == end || end - start > 3) {
        return -1;
    }
    int value = 0;
    for (auto i = start; i < end; ++i) {
        value = value * 10 + (rest[i] - '0');
    }
    return value <= 100 ? value : -1;
}

}  // namespace

bool UpdaterConsoleParser::Feed(std::string_view text) {
    bool changed = false;
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            changed = Analyse(line_, true) || changed;
            line_.clear();
        } else {
            line_ += c;
        }
    }
    // A step's line is written in pieces: what there is of it counts already.
    return (!line_.empty() && Analyse(line_, false)) || changed;
}

void UpdaterConsoleParser::Finish() {
    Analyse(line_, true);
    line_.clear();
}

bool UpdaterConsoleParser::Analyse(const std::string& line, bool ended) {
    const bool wasMessage = inMessage_;
    if (ended) {
        inMessage_ = false;
    }
    if (line.empty()) {
        return false;
    }
    if (line.rfind(kSaved, 0) == 0) {
        if (ended) {
            backup_ = line.substr(kSaved.size());
        }
        return false;
    }
    if (ended) {
        if (const auto reason = UpdateSummary::ReasonIn(line)) {
            summaryReason_ = *reason;
            return false;
        }
    }
    const auto dots = line.find(kEllipsis);
    if (dots == std::string::npos || dots == 0) {
        if (ended && line != kDone) {
            message_ = wasMessage ? message_ + "\n" + line : line;
            inMessage_ = true;
        }
        return false;
    }
    const std::string step = line.substr(0, dots);
    const std::string_view rest = std::string_view(line).substr(dots);
    const int oldSteps = steps_;
    const int oldPercent = percent_;
    const bool oldDone = done_;
    if (step != step_ || (oldDone && rest == kEllipsis)) {
        step_ = step;
        ++steps_;
        percent_ = -1;
        done_ = false;
    }
    const int percent = PercentIn(rest);
    if (percent >= 0) {
        percent_ = percent;
    }
    const std::string_view said = rest.substr(std::min(rest.find_first_not_of('.'), rest.size()));
    if (said.size() >= kDone.size() && said.substr(said.size() - kDone.size()) == kDone) {
        done_ = true;
        percent_ = 100;
    } else if (ended && percent < 0 && !said.empty()) {
        message_ = said;  // the step ended with an error's text
    }
    return steps_ != oldSteps || percent_ != oldPercent || done_ != oldDone;
}

}  // namespace quillon::tool
