// DES blocks per second of our own cipher beside libcrypto's, measured in turns in one run and
// printed as a ratio; and the scrambling of a whole codeplug (two DES blocks per 128 bytes).

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "transfer/BlockScrambler.h"
#include "transfer/Des.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/des.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBlocksPerRun = 1 << 20;
constexpr int kTurns = 7;

// Chained encryptions, so no call can be skipped or overlapped with the next.
double OurBlocksPerSecond(const quillon::Des& des, uint64_t& sink) {
    uint64_t block = sink;
    const auto start = Clock::now();
    for (int i = 0; i < kBlocksPerRun; ++i) {
        block = des.Encrypt(block);
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    sink ^= block;
    return kBlocksPerRun / took.count();
}

double OpenSslBlocksPerSecond(DES_key_schedule& schedule, uint64_t& sink) {
    DES_cblock block;
    for (int i = 0; i < 8; ++i) {
        block[i] = static_cast<unsigned char>(sink >> (8 * i));
    }
    const auto start = Clock::now();
    for (int i = 0; i < kBlocksPerRun; ++i) {
        DES_ecb_encrypt(&block, &block, &schedule, DES_ENCRYPT);
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    sink ^= block[0];
    return kBlocksPerRun / took.count();
}
#pragma GCC diagnostic pop

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    const std::array<uint8_t, 8> key{'Q', '%', 'Q', '%', 'Q', '%', 'Q', '%'};
    const quillon::Des des(key);
    DES_cblock openSslKey;
    std::copy(key.begin(), key.end(), openSslKey);
    DES_key_schedule schedule;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    DES_set_key_unchecked(&openSslKey, &schedule);
#pragma GCC diagnostic pop

    uint64_t sink = 0x0123456789ABCDEF;
    std::vector<double> ours;
    std::vector<double> theirs;
    for (int turn = 0; turn < kTurns; ++turn) {
        ours.push_back(OurBlocksPerSecond(des, sink));
        theirs.push_back(OpenSslBlocksPerSecond(schedule, sink));
    }
    const double ourRate = Median(ours);
    const double theirRate = Median(theirs);
    std::printf("DES encryptions, median of %d turns of %d blocks each:\n", kTurns, kBlocksPerRun);
    std::printf("  ours       %12.0f blocks/s\n", ourRate);
    std::printf("  libcrypto  %12.0f blocks/s\n", theirRate);
    std::printf("  ratio ours/libcrypto: %.2f\n", ourRate / theirRate);

    // A whole 64 KiB codeplug scrambled, as one download does.
    quillon::BlockScrambler scrambler(std::array<uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8});
    std::array<uint8_t, 128> plain{};
    std::array<uint8_t, 128> out{};
    const int blocks = 512;
    const auto start = Clock::now();
    for (int i = 0; i < blocks; ++i) {
        plain[0] = static_cast<uint8_t>(i);
        scrambler.Scramble(plain, out);
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    std::printf("Scrambling a 65536-byte codeplug (512 blocks): %.3f ms (%u)\n",
                took.count() * 1000, out[0]);
    return static_cast<int>(sink & 0);
}
