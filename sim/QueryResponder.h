#pragma once

#include "sim/FamilyResponder.h"
#include "sim/RadioConfig.h"

namespace quillon::sim {

// The 04 family: the radio's answers to the version, serial number, kind and information
// queries, taken from the configuration at the time of the request.
class QueryResponder : public FamilyResponder {
public:
    explicit QueryResponder(const RadioConfig& config) : config_(config) {}
    Reaction Respond(const Request& request) override;

private:
    const RadioConfig& config_;
};

}  // namespace quillon::sim
