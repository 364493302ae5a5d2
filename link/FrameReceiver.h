#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "link/CommMessage.h"

namespace quillon {

// Collects the bytes of a reply frame one at a time and hands out each complete frame whose
// second header byte is 0x7F and whose checksum is good.
//
// A start byte (0xBA) empties the collection buffer; the end byte (0x7E) completes a frame when
// the second collected byte is 0x7F. Frames with a bad checksum or with fewer than three bytes
// (two header bytes and a checksum) are dropped. A partial frame that would overflow the 1024-byte
// buffer is dropped, and so is the rest of it up to the next start byte.
class FrameReceiver {
public:
    static constexpr int kBufferSize = 1024;

    // Feeds one byte; true when it completed an acceptable frame, which Frame() then holds.
    bool Feed(uint8_t byte);

    // The last accepted frame: Length is the payload length, Data the payload (header and
    // checksum removed), the rest of Data zero.
    const CommMessage& Frame() const { return frame_; }
    // The last accepted frame as it came over the line: start byte, header, stuffed payload and
    // checksum, end byte.
    std::vector<uint8_t> Wire() const;

    // Forgets any partial frame.
    void Reset();

    int Collected() const { return count_; }

private:
    bool Complete();

    std::array<uint8_t, kBufferSize> buffer_{};
    int count_ = 0;
    int wireCount_ = 0;  // bytes of the last accepted frame between its start and end bytes
    bool discarding_ = false;
    CommMessage frame_;
};

// An expected reply is given as a message whose Length (1 or 2) says how many code bytes of its
// Data to compare, and a payload length that counts the code bytes too.
// 0 when `frame` is reply A, 1 when it is reply B (A is tested first), -1 when neither.
int MatchReply(const CommMessage& frame, const CommMessage& a, int payloadLengthA,
               const CommMessage& b, int payloadLengthB);

}  // namespace quillon
