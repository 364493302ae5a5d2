#include "sim/FaultPlan.h"

#include <algorithm>
#include <utility>

namespace quillon::sim {

FaultPlan::FaultPlan(std::vector<FaultRule> rules) : rules_(std::move(rules)) {}

std::optional<FaultRule> FaultPlan::Take(const Bytes& payload) {
    FaultRule* best = nullptr;
    for (FaultRule& rule : rules_) {
        if (rule.times == 0 || rule.code.size() > payload.size() ||
            !std::equal(rule.code.begin(), rule.code.end(), payload.begin())) {
            continue;
        }
        if (best == nullptr || rule.code.size() > best->code.size()) {
            best = &rule;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    if (best->times > 0) {
        --best->times;
    }
    return *best;
}

}  // namespace quillon::sim
