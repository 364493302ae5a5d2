#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "parms/CodeplugFormat.h"

namespace quillon {

// Why a restore writes nothing back.
enum class RestoreRefusal : uint8_t {
    None,
    Malformed,     // the uploaded image fails the structure check
    FormatTooOld,  // the image's or the radio's format is older than 5.8 (or unknown)
    Backwards,     // the radio expects an older format than the image has
    Outgrown,      // the conversion outgrew the image buffer
    BadLength,     // the length to write back is below zero or above 65,536 bytes
};

struct CodeplugRestoreResult {
    RestoreRefusal refusal = RestoreRefusal::None;
    std::string reason;  // one line, empty when nothing was refused
    uint8_t sourceFormat = kUnknownFormat;
    int32_t conversionChange = 0;   // words the conversion chain added (negative: removed)
    int32_t verifyChange = 0;       // words the 5.11 verification added or removed
    bool verified = true;           // false when the 5.11 verification failed (repairs kept)
    int hardKeyChange = 0;          // +1 the verification added the hard-key record, -1 removed it
    std::size_t downloadBytes = 0;  // bytes of the image to write back

    bool Ok() const { return refusal == RestoreRefusal::None; }
    int32_t LengthChange() const { return conversionChange + verifyChange; }
};

// The pure steps of a codeplug restore, between upload and download: the structure check, the
// conversion chain to the format the radio expects, the 5.11 verification, and the length to
// write back. The length counts every change of the image's length, the conversion steps' and
// the verification's own hard-key insert or delete alike.
class CodeplugRestorePlan {
public:
    static constexpr std::size_t kMaxBytes = 2 * kCodeplugWords;

    // `image` holds the uploaded image in host order and is converted in place; `uploadedBytes`
    // is how many bytes the upload delivered; `targetFormat` the format index the radio expects;
    // `hardKey` the radio's hard-key bit. A failed 5.11 verification is not a refusal (the image
    // is written back all the same) and shows in `verified`.
    CodeplugRestoreResult Run(CodeplugImage& image, std::size_t uploadedBytes, uint8_t targetFormat,
                              bool hardKey) const;
};

}  // namespace quillon
