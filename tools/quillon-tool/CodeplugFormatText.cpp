#include "tools/quillon-tool/CodeplugFormatText.h"

#include <cstdio>

namespace quillon::tool {

std::string VersionText(uint8_t formatIndex) {
    const FormatVersion v = CodeplugFormat::VersionOfIndex(formatIndex);
    return std::to_string(v.major) + "." + std::to_string(v.minor);
}

std::string FormatText(const CodeplugImage& image) {
    const uint8_t index = CodeplugFormat::FormatIndex(image);
    if (index == kUnknownFormat) {
        char word[8];
        std::snprintf(word, sizeof word, "0x%04X", image[3]);
        return std::string("unknown (header word 3 = ") + word + ")";
    }
    return VersionText(index);
}

}  // namespace quillon::tool
