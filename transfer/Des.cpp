#include "transfer/Des.h"

namespace quillon {

namespace {

// Bit positions count from 1 at the most significant bit of the input, as the standard writes
// its tables.
constexpr uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2,  60, 52, 44, 36, 28, 20, 12, 4,  62, 54, 46, 38, 30, 22,
    14, 6,  64, 56, 48, 40, 32, 24, 16, 8,  57, 49, 41, 33, 25, 17, 9,  1,  59, 51, 43, 35,
    27, 19, 11, 3,  61, 53, 45, 37, 29, 21, 13, 5,  63, 55, 47, 39, 31, 23, 15, 7};

constexpr uint8_t kFinalPermutation[64] = {
    40, 8,  48, 16, 56, 24, 64, 32, 39, 7,  47, 15, 55, 23, 63, 31, 38, 6,  46, 14, 54, 22,
    62, 30, 37, 5,  45, 13, 53, 21, 61, 29, 36, 4,  44, 12, 52, 20, 60, 28, 35, 3,  43, 11,
    51, 19, 59, 27, 34, 2,  42, 10, 50, 18, 58, 26, 33, 1,  41, 9,  49, 17, 57, 25};

constexpr uint8_t kRoundPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                           26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                           3,  9, 19, 13, 30, 6,  22, 11, 4,  25};

constexpr uint8_t kKeyChoice1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                     10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                     63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                     14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr uint8_t kKeyChoice2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr uint8_t kKeyShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// S-box n, row r, column c at [n][16 * r + c].
constexpr uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11}};

// Output bit k (from 1 at the top of `outBits`) is input bit table[k - 1] of an `inBits`-wide
// input.
template <size_t N>
constexpr uint64_t Permute(uint64_t in, int inBits, const uint8_t (&table)[N]) {
    uint64_t out = 0;
    for (size_t k = 0; k < N; ++k) {
        out = (out << 1) | ((in >> (inBits - table[k])) & 1);
    }
    return out;
}

// A 64-bit permutation as eight byte lookups: entry [i][v] is the permutation of byte value v
// standing at byte i (from the top) of an otherwise zero block.
using ByteLookup = std::array<std::array<uint64_t, 256>, 8>;

constexpr ByteLookup MakeByteLookup(const uint8_t (&table)[64]) {
    ByteLookup lookup{};
    for (int i = 0; i < 8; ++i) {
        for (int v = 0; v < 256; ++v) {
            lookup[i][v] = Permute(static_cast<uint64_t>(v) << (56 - 8 * i), 64, table);
        }
    }
    return lookup;
}

// S-box i applied to a 6-bit group, its 4 bits put in place and then through P.
using SpLookup = std::array<std::array<uint32_t, 64>, 8>;

constexpr SpLookup MakeSpLookup() {
    SpLookup lookup{};
    for (int i = 0; i < 8; ++i) {
        for (int v = 0; v < 64; ++v) {
            const int row = ((v >> 4) & 2) | (v & 1);
            const int column = (v >> 1) & 0xF;
            const uint64_t s = static_cast<uint64_t>(kSBoxes[i][16 * row + column]) << (28 - 4 * i);
            lookup[i][v] = static_cast<uint32_t>(Permute(s, 32, kRoundPermutation));
        }
    }
    return lookup;
}

constexpr ByteLookup kInitial = MakeByteLookup(kInitialPermutation);
constexpr ByteLookup kFinal = MakeByteLookup(kFinalPermutation);
constexpr SpLookup kSp = MakeSpLookup();

uint64_t Apply(const ByteLookup& lookup, uint64_t block) {
    uint64_t out = 0;
    for (int i = 0; i < 8; ++i) {
        out |= lookup[i][(block >> (56 - 8 * i)) & 0xFF];
    }
    return out;
}

uint32_t Rotate28(uint32_t half, int by) {
    return ((half << by) | (half >> (28 - by))) & 0x0FFFFFFF;
}

}  // namespace

void Des::SetKey(std::span<const uint8_t, kBlockBytes> key) {
    const uint64_t chosen = Permute(Load(key), 64, kKeyChoice1);
    uint32_t c = static_cast<uint32_t>(chosen >> 28) & 0x0FFFFFFF;
    uint32_t d = static_cast<uint32_t>(chosen) & 0x0FFFFFFF;
    for (int round = 0; round < 16; ++round) {
        c = Rotate28(c, kKeyShifts[round]);
        d = Rotate28(d, kKeyShifts[round]);
        const uint64_t k = Permute((static_cast<uint64_t>(c) << 28) | d, 56, kKeyChoice2);
        for (int i = 0; i < 8; ++i) {
            roundKeys_[round][i] = static_cast<uint8_t>((k >> (42 - 6 * i)) & 0x3F);
        }
    }
}

uint64_t Des::Crypt(uint64_t block, bool decrypt) const {
    const uint64_t permuted = Apply(kInitial, block);
    uint32_t left = static_cast<uint32_t>(permuted >> 32);
    uint32_t right = static_cast<uint32_t>(permuted);
    for (int round = 0; round < 16; ++round) {
        const auto& key = roundKeys_[decrypt ? 15 - round : round];
        // The expansion E as eight overlapping 6-bit windows of R, bit 32 before bit 1 and
        // bit 1 after bit 32.
        const uint64_t wrapped = (static_cast<uint64_t>(right & 1) << 33) |
                                 (static_cast<uint64_t>(right) << 1) | (right >> 31);
        uint32_t f = 0;
        for (int i = 0; i < 8; ++i) {
            f |= kSp[i][((wrapped >> (28 - 4 * i)) & 0x3F) ^ key[i]];
        }
        const uint32_t next = left ^ f;
        left = right;
        right = next;
    }
    return Apply(kFinal, (static_cast<uint64_t>(right) << 32) | left);
}

Des::Block Des::Encrypt(const Block& block) const {
    return Store(Encrypt(Load(block)));
}

Des::Block Des::Decrypt(const Block& block) const {
    return Store(Decrypt(Load(block)));
}

uint64_t Des::Load(std::span<const uint8_t, kBlockBytes> bytes) {
    uint64_t value = 0;
    for (uint8_t b : bytes) {
        value = (value << 8) | b;
    }
    return value;
}

Des::Block Des::Store(uint64_t block) {
    Block bytes{};
    for (int i = 7; i >= 0; --i) {
        bytes[i] = static_cast<uint8_t>(block);
        block >>= 8;
    }
    return bytes;
}

}  // namespace quillon
