#include "transfer/BlockScrambler.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/des.h>

namespace quillon {
namespace {

using Block = std::array<uint8_t, BlockScrambler::kBlockBytes>;

// The keystream computed independently: 8-bit output feedback over libcrypto's DES.
std::vector<uint8_t> ReferenceKeystream(std::array<uint8_t, 8> reg, int count) {
    DES_cblock key = {'Q', '%', 'Q', '%', 'Q', '%', 'Q', '%'};
    DES_key_schedule schedule;
    DES_set_key_unchecked(&key, &schedule);
    std::vector<uint8_t> stream;
    for (int i = 0; i < count; ++i) {
        DES_cblock in;
        DES_cblock out;
        std::copy(reg.begin(), reg.end(), in);
        DES_ecb_encrypt(&in, &out, &schedule, DES_ENCRYPT);
        stream.push_back(out[0]);
        std::copy(reg.begin() + 1, reg.end(), reg.begin());
        reg[7] = out[0];
    }
    return stream;
}
#pragma GCC diagnostic pop

Block Counting(uint8_t first) {
    Block b{};
    for (size_t i = 0; i < b.size(); ++i) {
        b[i] = static_cast<uint8_t>(first + i);
    }
    return b;
}

TEST(BlockScrambler, CountingBlockWithZeroKeystream) {
    Block out{};
    BlockScrambler::ScrambleWith(0x00, 0x00, Counting(0), out);
    // 01 00, then every pair swapped and masked with 01 00.
    Block expected{};
    expected[0] = 0x01;
    expected[1] = 0x00;
    for (int j = 2; j < 128; j += 2) {
        expected[j] = static_cast<uint8_t>((j + 1) ^ 0x01);
        expected[j + 1] = static_cast<uint8_t>(j);
    }
    EXPECT_EQ(out, expected);
    EXPECT_EQ(out[2], 0x02);
    EXPECT_EQ(out[3], 0x02);
    EXPECT_EQ(out[4], 0x04);
    EXPECT_EQ(out[5], 0x04);
    EXPECT_EQ(out[126], 0x7E);
    EXPECT_EQ(out[127], 0x7E);
}

TEST(BlockScrambler, KeystreamMasksOnlyTheFirstWord) {
    Block a{};
    Block b{};
    BlockScrambler::ScrambleWith(0x5A, 0xC3, Counting(0x10), a);
    BlockScrambler::ScrambleWith(0x00, 0x00, Counting(0x10), b);
    EXPECT_EQ(a[0], b[0] ^ 0x5A);
    EXPECT_EQ(a[1], b[1] ^ 0xC3);
    for (int j = 2; j < 128; j += 2) {
        // Later words are masked with the first word as sent.
        EXPECT_EQ(a[j], static_cast<uint8_t>(0x10 + j + 1) ^ a[0]) << j;
        EXPECT_EQ(a[j + 1], static_cast<uint8_t>(0x10 + j) ^ a[1]) << j;
    }
}

TEST(BlockScrambler, KeystreamRunsOnAcrossBlocksFromTheSerialNumber) {
    const std::array<uint8_t, 8> serials[] = {
        {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    };
    for (const auto& serial : serials) {
        const std::vector<uint8_t> stream = ReferenceKeystream(serial, 2 * 5);
        BlockScrambler scrambler(serial);
        for (int block = 0; block < 5; ++block) {
            const Block plain = Counting(static_cast<uint8_t>(block * 7));
            Block got{};
            Block expected{};
            scrambler.Scramble(plain, got);
            BlockScrambler::ScrambleWith(stream[2 * block], stream[2 * block + 1], plain, expected);
            EXPECT_EQ(got, expected) << "block " << block;
        }
    }
}

}  // namespace
}  // namespace quillon
