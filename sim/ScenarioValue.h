#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sim/FaultRule.h"
#include "sim/HexBytes.h"

namespace quillon::sim {

// A configuration value that cannot be used; the text says what was expected.
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "6.7" or "4.1.0": exactly N decimal numbers 0-255 separated by dots.
template <size_t N>
std::optional<std::array<uint8_t, N>> ParseDotted(std::string_view text);

// Exactly N bytes of hexadecimal ("0123456789ABCDEF", spaces between pairs allowed).
template <size_t N>
std::optional<std::array<uint8_t, N>> ParseHexArray(std::string_view text) {
    std::optional<Bytes> bytes = ParseHex(text);
    if (!bytes || bytes->size() != N) {
        return std::nullopt;
    }
    std::array<uint8_t, N> result{};
    for (size_t i = 0; i < N; ++i) {
        result[i] = (*bytes)[i];
    }
    return result;
}

// "portable" → true, "mobile" → false.
std::optional<bool> ParseKind(std::string_view text);

// "*" (every request), a family ("04") or a message code ("04 2D", "042D").
std::optional<Bytes> ParseFaultCode(std::string_view text);

// The command-line form of a fault: CODE:ITEM[,ITEM...] with the items silent, 0420, noise=N,
// bad-checksum, wrong-h2, delay=MS, times=N. Throws ScenarioError.
FaultRule ParseFaultText(std::string_view text);

// Range checks shared by the scenario file and the command line. Throw ScenarioError.
int CheckNoise(long long value);
int CheckDelay(long long value);
int CheckTimes(long long value);

}  // namespace quillon::sim
