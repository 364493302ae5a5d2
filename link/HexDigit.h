#pragma once

#include <array>
#include <cstdint>

namespace quillon {

namespace hexdigit_detail {

constexpr std::array<int8_t, 256> MakeTable() {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    for (int c = '0'; c <= '9'; ++c) {
        table[static_cast<size_t>(c)] = static_cast<int8_t>(c - '0');
    }
    for (int c = 'A'; c <= 'F'; ++c) {
        table[static_cast<size_t>(c)] = static_cast<int8_t>(c - 'A' + 10);
        table[static_cast<size_t>(c + 'a' - 'A')] = static_cast<int8_t>(c - 'A' + 10);
    }
    return table;
}

inline constexpr std::array<int8_t, 256> kTable = MakeTable();

}  // namespace hexdigit_detail

// The value of the hexadecimal digit `c` (either case), or -1 for any other character. Every
// reader of hexadecimal text (S-records, serial numbers, scenario files) uses this one.
constexpr int HexDigitValue(char c) {
    return hexdigit_detail::kTable[static_cast<uint8_t>(c)];
}

}  // namespace quillon
