#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::sim {

using Bytes = std::vector<uint8_t>;

// "04 1D 05 0B": upper-case pairs separated by single spaces; empty text for no bytes.
std::string FormatHex(const uint8_t* data, size_t size);
inline std::string FormatHex(const Bytes& bytes) {
    return FormatHex(bytes.data(), bytes.size());
}

// Reads hexadecimal pairs; spaces between pairs are allowed ("041C", "04 1c"). Anything else,
// or an odd number of digits, gives nothing.
std::optional<Bytes> ParseHex(std::string_view text);

}  // namespace quillon::sim
