#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "transfer/Des.h"

namespace quillon {

// Scrambles codeplug blocks on their way into the radio. A keystream of 8-bit output feedback
// runs over DES under the fixed key "Q%Q%Q%Q%": each keystream byte is the first byte of the
// encrypted feedback register, which then shifts one byte left and takes the keystream byte in
// its last place. Each block uses the next two keystream bytes; the stream runs on from block
// to block.
class BlockScrambler {
public:
    static constexpr int kBlockBytes = 128;
    static constexpr std::array<uint8_t, 8> kKey{'Q', '%', 'Q', '%', 'Q', '%', 'Q', '%'};

    // A fresh stream whose feedback register starts as `start` (the radio's serial number).
    explicit BlockScrambler(const std::array<uint8_t, 8>& start);

    uint8_t NextKeyByte();

    // Scrambles one block with the next two keystream bytes. `plain` and `out` may not overlap.
    void Scramble(std::span<const uint8_t, kBlockBytes> plain, std::span<uint8_t, kBlockBytes> out);

    // The block rule alone, for two given keystream bytes: every word goes out with its bytes
    // swapped, the first masked with the keystream, every later one with the first's result.
    static void ScrambleWith(uint8_t k1, uint8_t k2, std::span<const uint8_t, kBlockBytes> plain,
                             std::span<uint8_t, kBlockBytes> out);

private:
    Des des_;
    uint64_t register_;
};

}  // namespace quillon
