#pragma once

// DSP programs for the tests: COFF files of given sections with pattern data, and the page
// images a radio must receive from them.

#include <cstdint>
#include <vector>

#include "tests/download/DownloadFixture.h"

namespace quillon::test {

struct Section {
    uint32_t address;  // words
    uint32_t words;
    uint8_t page;
    uint32_t offsetOverride = 0;  // 0: the data follows the table
};

inline void PutLittle(ByteVector& out, size_t at, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A COFF file of these sections, each with pattern data; optional header of 28 bytes when asked.
inline ByteVector MakeCoff(const std::vector<Section>& sections, bool optionalHeader,
                           uint16_t countOverride = 0) {
    const size_t table = optionalHeader ? 50 : 22;
    ByteVector file(table + 40 * sections.size(), 0);
    PutLittle(file, 2, countOverride != 0 ? countOverride : static_cast<uint32_t>(sections.size()),
              2);
    PutLittle(file, 16, optionalHeader ? 28 : 0, 2);
    for (size_t i = 0; i < sections.size(); ++i) {
        const Section& s = sections[i];
        const size_t header = table + 40 * i;
        const ByteVector data = PatternBytes(2 * s.words, static_cast<uint32_t>(i + 1));
        PutLittle(file, header + 12, s.address, 4);
        PutLittle(file, header + 16, s.words, 4);
        PutLittle(file, header + 20,
                  s.offsetOverride != 0 ? s.offsetOverride : static_cast<uint32_t>(file.size()), 4);
        file[header + 39] = s.page;
        file.insert(file.end(), data.begin(), data.end());
    }
    return file;
}

// The page image the radio should receive: zeros up to the section, its data, 0xFF to a pair.
inline ByteVector PageImage(uint32_t address, uint32_t words, uint32_t seed) {
    ByteVector image(2 * address, 0);
    const ByteVector data = PatternBytes(2 * words, seed);
    image.insert(image.end(), data.begin(), data.end());
    image.resize((image.size() + 255) / 256 * 256 + (image.empty() ? 256 : 0), 0xFF);
    return image;
}

// A loader for the DSP download: read the fixed S3 way up to its S9.
inline const char kDspLoader[] =
    "S00600004844521B\nS3150000000000112233445566778899AABBCCDDEEFFF2\nS9030000FC\n";

}  // namespace quillon::test
