#pragma once

#include <cstdint>
#include <string>

#include "link/CommMessage.h"
#include "serial/TraceSink.h"

namespace quillon {

// The lines of the protocol trace: "<ms> <what> <details>", the time on the pump's clock.
class LinkTrace {
public:
    // "<ms> TX 7F 01 ... [04 05 SerialNumberReply]": a frame on the wire and its message code.
    static void Frame(TraceSink& sink, int64_t nowMs, const char* direction, const uint8_t* bytes,
                      int count, const CommMessage& message);
    // "<ms> <what> <details>": opens, closes, speed changes, time-outs.
    static void Event(TraceSink& sink, int64_t nowMs, const char* what,
                      const std::string& details = {});
    // "AB CD": bytes as hexadecimal pairs.
    static std::string Hex(const uint8_t* bytes, int count);
};

}  // namespace quillon
