// libFuzzer target over the codeplug restore path: check, convert to 5.11, verify.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "fuzz/parms/CodeplugFuzzInput.h"
#include "tests/parms/support/CodeplugGenerator.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return quillon::RunCodeplugFuzzInput(data, size);
}

namespace {

// Values that steer the image past the structure check: the block marker, format versions,
// block heads and descriptors of the usual sizes.
constexpr uint16_t kInterestingWords[] = {0x5F5F, 0x0508, 0x0509, 0x050A, 0x050B, 0x0000,
                                          0xFFFF, 0x0101, 0x1000, 0x8000, 0x4000, 0xC000,
                                          0x7831, 0x7845, 0x0F31, 0x0F51, 0x1024, 0x0001};

void PutWord(uint8_t* data, size_t at, uint16_t word) {
    data[at] = static_cast<uint8_t>(word >> 8);
    data[at + 1] = static_cast<uint8_t>(word & 0xFF);
}

}  // namespace

// Mostly the usual byte mutations; now and then a fresh generated image (so that the fuzzer
// starts again from an image that passes the check), or one word, at a word boundary, set to a
// telling value.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    quillon::testkit::CodeplugGenerator random(seed);
    const uint32_t pick = random.Below(16);
    if (pick == 0) {
        quillon::testkit::GeneratorOptions options;
        options.formatIndex = static_cast<uint8_t>(3 + random.Below(3));
        options.size = quillon::testkit::ImageSize::Tiny;
        const quillon::testkit::GeneratedImage image = random.Generate(options);
        const std::vector<uint8_t> bytes =
            quillon::testkit::ToRadioBytes(image.words, image.totalLength);
        if (bytes.size() <= maxSize) {
            std::memcpy(data, bytes.data(), bytes.size());
            return bytes.size();
        }
    } else if (pick < 5 && size >= 2) {
        const size_t at = 2 * random.Below(static_cast<uint32_t>(size / 2));
        PutWord(data, at, kInterestingWords[random.Below(std::size(kInterestingWords))]);
        return size;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}
