#pragma once

#include <optional>
#include <vector>

#include "sim/FaultRule.h"

namespace quillon::sim {

// Picks the fault for a request: the rule with the longest matching code (message before
// family before every request), among the rules that are not used up.
class FaultPlan {
public:
    explicit FaultPlan(std::vector<FaultRule> rules);

    // The rule for a request with this payload, counted as used once. Nothing when no rule
    // applies.
    std::optional<FaultRule> Take(const Bytes& payload);

private:
    std::vector<FaultRule> rules_;
};

}  // namespace quillon::sim
