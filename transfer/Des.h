#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace quillon {

// The DES block cipher (FIPS 46-3): 64-bit blocks under a 56-bit key given as 8 bytes whose
// lowest bits (the parity bits) are not used. Built from the standard's tables; the S-boxes are
// folded with the P permutation and the initial and final permutations with byte lookups once,
// at compile time.
class Des {
public:
    static constexpr int kBlockBytes = 8;
    using Block = std::array<uint8_t, kBlockBytes>;

    Des() = default;
    explicit Des(std::span<const uint8_t, kBlockBytes> key) { SetKey(key); }

    // Derives the 16 round keys.
    void SetKey(std::span<const uint8_t, kBlockBytes> key);

    // A block as a number, its first byte in the highest bits.
    uint64_t Encrypt(uint64_t block) const { return Crypt(block, false); }
    uint64_t Decrypt(uint64_t block) const { return Crypt(block, true); }

    Block Encrypt(const Block& block) const;
    Block Decrypt(const Block& block) const;

    static uint64_t Load(std::span<const uint8_t, kBlockBytes> bytes);
    static Block Store(uint64_t block);

private:
    uint64_t Crypt(uint64_t block, bool decrypt) const;

    // Round key r as eight 6-bit groups, one per S-box.
    std::array<std::array<uint8_t, 8>, 16> roundKeys_{};
};

}  // namespace quillon
