#pragma once

#include <cstdint>
#include <optional>

#include "sim/FamilyResponder.h"
#include "sim/RadioConfig.h"

namespace quillon::sim {

// The 09 family: the speed change 09 00 and, when the configuration puts an interface box in
// front of the radio, the box's answer 09 02 to the probe 09 01 (sent with H2 4F).
class LinkControlResponder : public FamilyResponder {
public:
    explicit LinkControlResponder(const RadioConfig& config) : config_(config) {}
    Reaction Respond(const Request& request) override;

    // 0 → 9600, 1 → 19200, 3 → 38400, 4 → 57600, 5 → 115200; nothing for other codes.
    static std::optional<uint32_t> SpeedForCode(uint8_t code);

private:
    const RadioConfig& config_;
};

}  // namespace quillon::sim
