#pragma once

#include <cstdint>
#include <vector>

#include "link/CommMessage.h"

namespace quillon {

// The frame that carries one message in either direction:
//   BA  H1  H2  payload...  checksum  7E
// Payload and checksum are byte-stuffed; the header bytes never are.
namespace frame {

constexpr uint8_t kStart = 0xBA;
constexpr uint8_t kEnd = 0x7E;
constexpr uint8_t kEscape = 0x10;

constexpr uint8_t kHeader1 = 0x7F;         // first header byte of every frame we send
constexpr uint8_t kHeader2Message = 0x01;  // second header byte of a framed message
constexpr uint8_t kHeader2Probe = 0x4F;    // second header byte of the interface probe
constexpr uint8_t kHeader2Reply = 0x7F;    // second header byte of every frame from the radio

// Appends `byte` to `out`, stuffed: 0x10 -> 10 02, 0x7E -> 10 01, 0xBA -> 10 00.
void AppendStuffed(std::vector<uint8_t>& out, uint8_t byte);

// The value that makes the 8-bit sum of `initialSum` plus the checksum equal 0.
inline uint8_t ChecksumFor(uint32_t initialSum) {
    return static_cast<uint8_t>((0x100 - (initialSum & 0xFF)) & 0xFF);
}

// Builds the frame of a message with the given second header byte. The payload is the first
// (Length modulo 256) bytes of Data, so a message of 256 bytes goes out with no payload.
std::vector<uint8_t> BuildFrame(const CommMessage& message, uint8_t header2 = kHeader2Message);

// Undoes the stuffing of `in[0..count)` into `out` (which must hold `count` bytes); returns
// the number of bytes written. An escape byte not followed by 00, 01 or 02 stays as it is.
int Unstuff(const uint8_t* in, int count, uint8_t* out);

}  // namespace frame

// The frame of `message` as the session sends it (header 7F 01).
inline std::vector<uint8_t> BuildFrame(const CommMessage& message) {
    return frame::BuildFrame(message, frame::kHeader2Message);
}

}  // namespace quillon
