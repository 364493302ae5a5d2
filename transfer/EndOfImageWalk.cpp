#include "transfer/EndOfImageWalk.h"

namespace quillon {

namespace {

constexpr uint8_t kMarkerByte = 0x5F;
constexpr int32_t kFirstBlock = 128;

}  // namespace

bool EndOfImageWalk::Complete(std::span<const uint8_t, kFullImage> buffer, int32_t received) {
    if (received >= kFullImage) {
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
    nextHead_ = 0;
    return true;
}

}  // namespace quillon
