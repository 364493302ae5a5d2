#include "fuzz/parms/CodeplugFuzzInput.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "parms/CodeplugFormat.h"

namespace quillon {

int RunCodeplugFuzzInput(const uint8_t* data, std::size_t size) {
    // On the heap at its exact size, so that the sanitizer catches any access past the buffer.
    static const std::unique_ptr<CodeplugImage> image = std::make_unique<CodeplugImage>();
    auto* bytes = reinterpret_cast<uint8_t*>(image->data());
    const std::size_t used = std::min(size, sizeof(CodeplugImage));
    std::memset(bytes, 0, sizeof(CodeplugImage));
    if (used > 0) {
        std::memcpy(bytes, data, used);
    }
    CodeplugFormat::SwapWordBytes(bytes, sizeof(CodeplugImage));

    CodeplugFormat format;
    if (!format.CheckStructure(*image)) {
        return 0;
    }
    const uint8_t index = CodeplugFormat::FormatIndex(*image);
    if (index < kFormat58 || index > kFormat511) {
        return 0;
    }
    if (index < kFormat511 && !format.ConvertChain(*image, index, kFormat511)) {
        return 0;
    }
    const bool hardKey = (size & 1) != 0;
    format.Verify511(*image, hardKey);
    // Swapped back as for the download.
    CodeplugFormat::SwapWordBytes(bytes, sizeof(CodeplugImage));
    return 0;
}

}  // namespace quillon
