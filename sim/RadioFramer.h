#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/HexBytes.h"

namespace quillon::sim {

// The radio's side of the link framing. Frames from the updater are
//   BA 7F H2 <stuffed payload and checksum> 7E   (H2 01 for messages, 4F for the box probe)
// and the radio answers with
//   BA 01 7F <stuffed payload and checksum> 7E.
// Payload and checksum bytes 10, 7E and BA travel as 10 02, 10 01 and 10 00; the header bytes
// are never stuffed. The checksum makes the sum of both header bytes, the payload and the
// checksum itself 0 modulo 256.
class RadioFramer {
public:
    static constexpr uint8_t kStart = 0xBA;
    static constexpr uint8_t kEnd = 0x7E;
    static constexpr uint8_t kEscape = 0x10;
    static constexpr uint8_t kRequestH1 = 0x7F;
    static constexpr uint8_t kMessageH2 = 0x01;
    static constexpr uint8_t kProbeH2 = 0x4F;
    static constexpr uint8_t kReplyH1 = 0x01;
    static constexpr uint8_t kReplyH2 = 0x7F;
    static constexpr size_t kMaxPayload = 255;
    // Bytes collected between a start and an end byte before the partial frame is given up.
    static constexpr size_t kMaxCollected = 1024;

    // One outcome of the byte stream: a good request frame, or a frame that was thrown away
    // (with the reason and the bytes collected for it, still stuffed).
    struct Event {
        bool good = false;
        uint8_t h1 = 0;
        uint8_t h2 = 0;
        Bytes payload;
        std::string reason;
        Bytes raw;
    };

    // Takes the next bytes of the stream, in any split, and appends what they complete.
    // Bytes outside a frame are ignored.
    void Feed(const uint8_t* data, size_t size, std::vector<Event>& events);

    // True while a frame has started and not yet ended.
    bool InFrame() const { return inFrame_; }

    // A complete frame around `payload` (at most kMaxPayload bytes). `checksumError` is added to
    // the correct checksum, so a non-zero value makes a frame with a bad checksum.
    static Bytes BuildFrame(const Bytes& payload, uint8_t h1, uint8_t h2,
                            uint8_t checksumError = 0);
    static Bytes BuildReply(const Bytes& payload) {
        return BuildFrame(payload, kReplyH1, kReplyH2);
    }

    static uint8_t Checksum(uint8_t h1, uint8_t h2, const Bytes& payload);

private:
    Event Complete();
    static void AppendStuffed(Bytes& out, uint8_t value);

    bool inFrame_ = false;
    Bytes collected_;
};

}  // namespace quillon::sim
