#include "transfer/BlockScrambler.h"

namespace quillon {

BlockScrambler::BlockScrambler(const std::array<uint8_t, 8>& start)
    : des_(kKey), register_(Des::Load(start)) {}

uint8_t BlockScrambler::NextKeyByte() {
    const auto key = static_cast<uint8_t>(des_.Encrypt(register_) >> 56);
    register_ = (register_ << 8) | key;
    return key;
}

void BlockScrambler::Scramble(std::span<const uint8_t, kBlockBytes> plain,
                              std::span<uint8_t, kBlockBytes> out) {
    const uint8_t k1 = NextKeyByte();
    const uint8_t k2 = NextKeyByte();
    ScrambleWith(k1, k2, plain, out);
}

void BlockScrambler::ScrambleWith(uint8_t k1, uint8_t k2,
                                  std::span<const uint8_t, kBlockBytes> plain,
                                  std::span<uint8_t, kBlockBytes> out) {
    out[0] = static_cast<uint8_t>(plain[1] ^ k1);
    out[1] = static_cast<uint8_t>(plain[0] ^ k2);
    for (int j = 2; j < kBlockBytes; j += 2) {
        out[j] = static_cast<uint8_t>(plain[j + 1] ^ out[0]);
        out[j + 1] = static_cast<uint8_t>(plain[j] ^ out[1]);
    }
}

}  // namespace quillon
