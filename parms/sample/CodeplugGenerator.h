#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace quillon::sample {

inline constexpr std::size_t kImageWords = 32768;
inline constexpr uint16_t kBlockMarker = 0x5F5F;
inline constexpr uint16_t kTrailerWords = 128;

// How many blocks and records a generated image holds.
//  Tiny   - one to three systems, one or two groups, at most 2,040 words (fits 4 KiB of bytes).
//  Small  - a handful of systems and groups, at most 8,000 words.
//  Medium - up to 12 systems and 30 groups, at most 16,000 words.
//  Large  - 16 systems and 54 groups, as large as still fits the buffer after a conversion to 5.11.
enum class ImageSize { Tiny, Small, Medium, Large };

struct GeneratorOptions {
    uint8_t formatIndex = 3;  // 3 (5.8), 4 (5.9) or 5 (5.10)
    ImageSize size = ImageSize::Small;
    bool shuffleBlocks = true;  // blocks after the header in random order
    int headerTypeCode = -1;    // header word 5 bits 0-3; -1 picks one
    // Kinds of the systems with ids 1, 2, ...; empty picks the count and the kinds.
    std::vector<uint8_t> systemKinds;
    int groupCount = -1;  // -1 picks one
    // Shapes a radio may store that the conversions must also handle: a trailer that starts
    // with what reads as a block head, and 5.8 tables that count records of size 0.
    bool irregular = false;
};

// One generated codeplug image in host word order, with what the generator put into it.
struct GeneratedImage {
    std::vector<uint16_t> words;  // kImageWords words; the words after the image are zero
    uint8_t formatIndex = 0;
    uint16_t totalLength = 0;          // header word 4
    std::vector<uint8_t> systemKinds;  // kind of the system with id i + 1
    uint8_t groupCount = 0;
    uint16_t headerTypeCode = 0;
    uint32_t growthBound = 0;  // most words a conversion up to 5.11 can add
};

// Builds well-formed images of formats 5.8, 5.9 and 5.10 as a radio stores them: every block
// category and system kind, every table of each block with varied record counts and random
// record contents, and the layouts and record sizes that the conversions expect. Images of 5.9
// and older keep word +2 of each block in the older layout (bits 12-15 count, bits 0-11 offset).
// The same seed and options always give the same image.
class CodeplugGenerator {
public:
    explicit CodeplugGenerator(uint32_t seed) : rng_(seed) {}

    GeneratedImage Generate(const GeneratorOptions& options);

    // A value in [0, n), independent of the standard library's distributions so that images are
    // the same with every compiler.
    uint32_t Below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(rng_() % n); }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
    // A random word that is often 0 or 0xFFFF, so that "only when 0" edits take both branches.
    uint16_t Word();

private:
    std::mt19937 rng_;
};

// The image's first `words` words as the radio sends them: each word high byte first.
std::vector<uint8_t> ToRadioBytes(const std::vector<uint16_t>& image, std::size_t words);
// Reads bytes as the radio sends them into a zero-padded image of kImageWords words.
std::vector<uint16_t> FromRadioBytes(const std::vector<uint8_t>& bytes);

}  // namespace quillon::sample
