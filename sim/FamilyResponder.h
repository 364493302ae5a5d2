#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/HexBytes.h"

namespace quillon::sim {

// A request frame as the radio received it.
struct Request {
    uint8_t h2 = 0;  // 01 for messages, 4F for the interface-box probe
    Bytes payload;   // message code and data

    bool IsProbe() const { return h2 == 0x4F; }
};

// What the radio does about one request.
struct Reaction {
    std::vector<Bytes> replies;        // payloads to send back, in order
    std::optional<uint32_t> newSpeed;  // bit/s the line changes to after the replies
    std::string note;                  // why a request was not answered, for the log
    int delayMs = 0;                   // before the first reply (the radio is busy)
    bool dropLine = false;             // the line goes dead: nothing more gets through
};

// The radio's handling of one family of messages (the first code byte).
class FamilyResponder {
public:
    virtual ~FamilyResponder() = default;
    virtual Reaction Respond(const Request& request) = 0;
};

}  // namespace quillon::sim
