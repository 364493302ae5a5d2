#pragma once

#include <array>
#include <cstdint>

#include "sim/FamilyResponder.h"

namespace quillon::sim {

// Hands each request to the unit of its family (first code byte).
class MessageDispatcher {
public:
    // The unit is not owned and must outlive the dispatcher; a later one replaces an earlier.
    void Register(uint8_t family, FamilyResponder& responder);
    Reaction Dispatch(const Request& request);

private:
    std::array<FamilyResponder*, 256> units_{};
};

}  // namespace quillon::sim
