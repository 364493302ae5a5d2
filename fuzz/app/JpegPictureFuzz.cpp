// Any bytes given to the picture decoder give an image or a refusal with a reason, never a crash
// or a read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/JpegPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const QImage image = quillon::JpegPicture::Decode(data, size, &error);
    if (image.isNull() == error.empty()) {
        std::abort();  // a refusal always says why, and a decoded picture has no error
    }
    if (!image.isNull() && (image.width() > quillon::JpegPicture::kMaxSide ||
                            image.height() > quillon::JpegPicture::kMaxSide)) {
        std::abort();
    }
    return 0;
}
