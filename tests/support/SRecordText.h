#pragma once

// S-record images written by hand, for tests that need a loader or a code file without objcopy.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quillon::test {

// S3 records of `size` bytes of a pattern, 32 data bytes a record, then S7.
inline std::string SRecords(size_t size, uint8_t seed) {
    std::string text;
    char line[128];
    for (size_t at = 0; at < size; at += 32) {
        const size_t n = std::min<size_t>(32, size - at);
        unsigned sum = static_cast<unsigned>(n + 5);
        int pos = std::snprintf(line, sizeof line, "S3%02X%08X", static_cast<unsigned>(n + 5),
                                static_cast<unsigned>(at));
        for (int s = 0; s < 4; ++s) {
            sum += (at >> (8 * s)) & 0xFF;
        }
        for (size_t i = 0; i < n; ++i) {
            const auto b = static_cast<uint8_t>((at + i) * 7 + seed);
            sum += b;
            pos += std::snprintf(line + pos, sizeof line - static_cast<size_t>(pos), "%02X", b);
        }
        std::snprintf(line + pos, sizeof line - static_cast<size_t>(pos), "%02X\n", ~sum & 0xFF);
        text += line;
    }
    return text + "S70500000000FA\n";
}

}  // namespace quillon::test
