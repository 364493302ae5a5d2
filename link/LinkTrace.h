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

    // Whether a message's data stay out of traces and logs: the codeplug password (03 0C) and
    // the serial number (04 05), which starts the scrambling of codeplug blocks. `message`
    // starts with the two code bytes.
    static bool Secret(const uint8_t* message, int count);
    // A message (code bytes first) as Hex gives it, but with the data of a secret message shown
    // as "**" a byte: "03 0C ** ** ** **".
    static std::string MessageHex(const uint8_t* message, int count);
    // A frame's bytes as they went over the wire, still stuffed, `headerBytes` before the code
    // bytes, with every byte after the code bytes up to the end byte (7E) shown as "**",
    // checksum included. An escaped byte shows as one "**", so that the stuffing does not tell
    // which values were hidden.
    static std::string MaskedHex(const uint8_t* bytes, int count, int headerBytes);
};

}  // namespace quillon
