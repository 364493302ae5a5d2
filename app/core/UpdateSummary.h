#pragma once

#include <optional>
#include <string>

#include "app/core/UpdateRecord.h"

namespace quillon {

// The console's last word: one line for standard error, after everything the console wrote,
// naming what the return code means, why the run ended so, and what to do next.
class UpdateSummary {
public:
    // "<program>: return code 2 (boot code upgraded, ...): <reason>. Next: <step>." with a
    // newline at the end.
    static std::string Line(const UpdateRecord& record, const std::string& programName);
    // The reason a summary line gives ("" for one of return code 0, or one without a reason);
    // nothing when `line` is no summary line.
    static std::optional<std::string> ReasonIn(const std::string& line);
    // What to do after a run that ended with `code`, when its steps named nothing better.
    static const char* DefaultNextStep(int code);
};

}  // namespace quillon
