#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

#include "parms/CodeplugFormat.h"
#include "tests/parms/support/CodeplugGenerator.h"

namespace quillon {

// Mostly small images, with a medium and a large one in every ten seeds.
inline testkit::ImageSize SizeForSeed(uint32_t seed) {
    switch (seed % 10) {
        case 0:
        case 1:
        case 2:
            return testkit::ImageSize::Tiny;
        case 8:
            return testkit::ImageSize::Medium;
        case 9:
            return testkit::ImageSize::Large;
        default:
            return testkit::ImageSize::Small;
    }
}

inline testkit::GeneratedImage Generate(uint32_t seed, uint8_t formatIndex) {
    testkit::CodeplugGenerator generator(seed * 2654435761u + formatIndex);
    testkit::GeneratorOptions options;
    options.formatIndex = formatIndex;
    options.size = SizeForSeed(seed);
    options.shuffleBlocks = seed % 2 == 1;
    options.irregular = seed % 5 == 4;
    return generator.Generate(options);
}

// On the heap at its exact size, so that the sanitizer sees any access past the buffer.
inline std::unique_ptr<CodeplugImage> ToImage(const testkit::GeneratedImage& generated) {
    auto image = std::make_unique<CodeplugImage>();
    std::copy(generated.words.begin(), generated.words.end(), image->begin());
    return image;
}

}  // namespace quillon
