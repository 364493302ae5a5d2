#pragma once

#include <cstdint>
#include <cstring>

namespace quillon {

// One message of the radio link: Data[0] and Data[1] hold the two-byte message code, the
// message's data bytes follow from Data[2]. Length counts the valid bytes of Data.
struct CommMessage {
    static constexpr int kCapacity = 1024;

    int32_t Length = 0;
    uint8_t Data[kCapacity] = {};

    // A message made of a code and optional data; data beyond the capacity is cut off.
    static CommMessage FromCode(uint8_t code1, uint8_t code2, const uint8_t* data = nullptr,
                                int dataLength = 0) {
        CommMessage m;
        m.Data[0] = code1;
        m.Data[1] = code2;
        m.Length = 2;
        if (data != nullptr && dataLength > 0) {
            const int n = dataLength < kCapacity - 2 ? dataLength : kCapacity - 2;
            std::memcpy(m.Data + 2, data, static_cast<size_t>(n));
            m.Length += n;
        }
        return m;
    }

    bool HasCode(uint8_t code1, uint8_t code2) const {
        return Length >= 2 && Data[0] == code1 && Data[1] == code2;
    }
};

static_assert(sizeof(CommMessage) == 1028, "a message is a 32-bit length and 1024 data bytes");

}  // namespace quillon
