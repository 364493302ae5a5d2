#include "app/core/UpdateRecord.h"

namespace quillon {

void UpdateRecord::Begin(bool consoleMode) {
    *this = UpdateRecord{};
    console = consoleMode;
    started = Clock::now();
}

void UpdateRecord::AddStep(std::string name, Result result, std::string detail) {
    steps.push_back({std::move(name), result, std::move(detail)});
}

void UpdateRecord::Fail(const std::string& name, const std::string& detail) {
    if (!steps.empty() && steps.back().name == name && steps.back().result == Result::Failed) {
        if (steps.back().detail.empty()) {
            steps.back().detail = detail;
        }
        return;
    }
    AddStep(name, Result::Failed, detail);
}

void UpdateRecord::SetVersion(Versions& versions, const std::string& name,
                              const std::string& value) {
    for (auto& entry : versions) {
        if (entry.first == name) {
            entry.second = value;
            return;
        }
    }
    versions.emplace_back(name, value);
}

const UpdateRecord::Step* UpdateRecord::FirstFailure() const {
    for (const Step& step : steps) {
        if (step.result == Result::Failed) {
            return &step;
        }
    }
    return nullptr;
}

void UpdateRecord::Finish(int code) {
    returnCode = code;
    ended = Clock::now();
    if (code == 0 || !reason.empty()) {
        return;
    }
    if (const Step* failed = FirstFailure()) {
        reason = failed->name + " failed";
        if (!failed->detail.empty()) {
            reason += " (" + failed->detail + ")";
        }
    }
}

const char* UpdateRecord::MeaningOf(int code) {
    switch (code) {
        case 0:
            return "success";
        case 1:
            return "general error";
        case 2:
            return "boot code upgraded, a second run is needed";
        case 3:
            return "codeplug not restored, application code upgraded";
        default:
            return "unknown return code";
    }
}

}  // namespace quillon
