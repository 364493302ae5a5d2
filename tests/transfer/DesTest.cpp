#include "transfer/Des.h"

#include <gtest/gtest.h>

#include <random>

// DES_ecb_encrypt is deprecated in OpenSSL 3 but present; it serves here as the reference.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/des.h>

namespace quillon {
namespace {

uint64_t OpenSslEncrypt(uint64_t key, uint64_t block, bool encrypt) {
    DES_cblock keyBytes;
    DES_cblock in;
    DES_cblock out;
    const Des::Block k = Des::Store(key);
    const Des::Block b = Des::Store(block);
    std::copy(k.begin(), k.end(), keyBytes);
    std::copy(b.begin(), b.end(), in);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&keyBytes, &schedule);
    DES_ecb_encrypt(&in, &out, &schedule, encrypt ? DES_ENCRYPT : DES_DECRYPT);
    return Des::Load(std::span<const uint8_t, 8>(out, 8));
}
#pragma GCC diagnostic pop

struct KnownAnswer {
    uint64_t key;
    uint64_t plain;
    uint64_t cipher;
};

// Published known-answer vectors: the worked example of the standard's tutorials, the
// variable-plaintext, variable-key and permutation tests of NIST's validation suite, and
// classic test set entries.
constexpr KnownAnswer kKnownAnswers[] = {
    {0x133457799BBCDFF1, 0x0123456789ABCDEF, 0x85E813540F0AB405},
    {0x0E329232EA6D0D73, 0x8787878787878787, 0x0000000000000000},
    {0x0123456789ABCDEF, 0x4E6F772069732074, 0x3FA40E8A984D4815},
    {0x0101010101010101, 0x8000000000000000, 0x95F8A5E5DD31D900},
    {0x0101010101010101, 0x4000000000000000, 0xDD7F121CA5015619},
    {0x8001010101010101, 0x0000000000000000, 0x95A8D72813DAA94D},
    {0x0101010101010101, 0x0000000000000000, 0x8CA64DE9C1B123A7},
    {0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF, 0x7359B2163E4EDC58},
    {0x7CA110454A1A6E57, 0x01A1D6D039776742, 0x690F5B0D9A26939B},
    {0x0131D9619DC1376E, 0x5CD54CA83DEF57DA, 0x7A389D10354BD271},
};

TEST(Des, KnownAnswersBothWays) {
    for (const KnownAnswer& v : kKnownAnswers) {
        const Des des(Des::Store(v.key));
        EXPECT_EQ(des.Encrypt(v.plain), v.cipher) << std::hex << "key " << v.key;
        EXPECT_EQ(des.Decrypt(v.cipher), v.plain) << std::hex << "key " << v.key;
        EXPECT_EQ(des.Encrypt(Des::Store(v.plain)), Des::Store(v.cipher));
    }
}

TEST(Des, ParityBitsOfTheKeyDoNotMatter) {
    const Des des(Des::Store(0x133457799BBCDFF1));
    const Des flipped(Des::Store(0x133457799BBCDFF1 ^ 0x0101010101010101));
    EXPECT_EQ(des.Encrypt(0x0123456789ABCDEF), flipped.Encrypt(0x0123456789ABCDEF));
}

TEST(Des, AgreesWithOpenSslOnRandomKeysAndBlocks) {
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 1000; ++i) {
        const uint64_t key = random();
        const uint64_t block = random();
        const Des des(Des::Store(key));
        ASSERT_EQ(des.Encrypt(block), OpenSslEncrypt(key, block, true))
            << std::hex << "key " << key << " block " << block;
        ASSERT_EQ(des.Decrypt(block), OpenSslEncrypt(key, block, false))
            << std::hex << "key " << key << " block " << block;
    }
}

}  // namespace
}  // namespace quillon
