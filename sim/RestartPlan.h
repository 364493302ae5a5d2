#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/HexBytes.h"

namespace quillon::sim {

// What the radio does when new code has been written and it restarts: after a pause it
// announces itself (07 25), its control heads report their updates (09 03, one per head, or one
// with the address-conflict byte), and from then on it answers with the codeplug format its new
// firmware expects.
struct RestartPlan {
    bool enabled = true;
    int delayMs = 500;             // from the end of the image to the first message
    bool announceFirst = true;     // 07 25 before the control-head messages, else after them
    int controlHeads = 0;          // 09 03 messages, one per head
    int headMs = 1000;             // between two control-head messages
    bool addressConflict = false;  // one 09 03 whose conflict byte is set, instead of the heads
    std::optional<std::array<uint8_t, 2>> codeplugFormat;  // 04 1D after the restart

    // One message the restart sends and how long after the one before.
    struct Message {
        int delayMs;
        Bytes payload;
    };
    // The messages in order; none when the plan is disabled.
    std::vector<Message> Messages() const;
};

}  // namespace quillon::sim
