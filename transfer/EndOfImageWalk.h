#pragma once

#include <cstdint>
#include <span>

namespace quillon {

// Decides during an upload when the codeplug has arrived whole, from the image's own block
// heads (marker 5F 5F, then the block length in words in the low 14 bits of the next word,
// high byte first). One head is examined per received block, so with short blocks the walk
// lags behind the data and the upload fetches blocks until the walk meets the first offset
// that holds no marker. A full buffer (65,536 bytes) always completes.
class EndOfImageWalk {
public:
    static constexpr int32_t kFullImage = 65536;

    void Reset() { nextHead_ = 0; }

    // Called after each received block with the bytes received so far (`buffer` holds the
    // whole zero-filled image buffer). True when the image is complete.
    bool Complete(std::span<const uint8_t, kFullImage> buffer, int32_t received);

    // Byte offset of the next block head.
    int32_t NextHead() const { return nextHead_; }

private:
    int32_t nextHead_ = 0;
};

}  // namespace quillon
