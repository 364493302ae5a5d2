#include "transfer/EndOfImageWalk.h"

namespace quillon {

namespace {

constexpr uint8_t kMarkerByte = 0x5F;
constexpr int32_t kFirstBlock = 128;
constexpr int32_t kTrailerBytes = 256;  // the 128-word trailer after a codeplug's blocks

}  // namespace

bool EndOfImageWalk::Complete(std::span<const uint8_t, kFullImage> buffer, int32_t received) {
    if (received >= kFullImage) {
        return true;
    }
    if (imageEnd_ > 0) {
        // The blocks are all in; what the image's own length adds after them is still coming.
        if (received < imageEnd_) {
            return false;
        }
        Reset();
        return true;
    }
    int32_t head = 0;
    if (received == kFirstBlock) {
        head = 0;
    } else if (received > nextHead_) {
        head = nextHead_;
    } else {
        return false;  // the next head has not arrived yet
    }
    if (head + 3 >= kFullImage) {
        return true;  // no room for another head
    }
    if (buffer[head] == kMarkerByte && buffer[head + 1] == kMarkerByte) {
        const int32_t words = ((buffer[head + 2] << 8) | buffer[head + 3]) & 0x3FFF;
        nextHead_ += 2 * words;
        return false;
    }
    // The blocks end here. A codeplug goes on with its trailer, and its header's total length
    // (word 4, in words) counts it: the image is complete once the trailer has arrived too.
    const int32_t ownEnd = 2 * ((buffer[8] << 8) | buffer[9]);
    if (head > 0 && ownEnd == head + kTrailerBytes && ownEnd > received) {
        imageEnd_ = ownEnd;
        return false;
    }
    Reset();
    return true;
}

}  // namespace quillon
