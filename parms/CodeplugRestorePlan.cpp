#include "parms/CodeplugRestorePlan.h"

#include "parms/Verifier511.h"

namespace quillon {
namespace {

std::string VersionText(uint8_t formatIndex) {
    if (formatIndex == kUnknownFormat) {
        return "unknown";
    }
    const FormatVersion v = CodeplugFormat::VersionOfIndex(formatIndex);
    return std::to_string(v.major) + "." + std::to_string(v.minor);
}

CodeplugRestoreResult Refuse(CodeplugRestoreResult result, RestoreRefusal refusal,
                             std::string reason) {
    result.refusal = refusal;
    result.reason = std::move(reason);
    result.downloadBytes = 0;
    return result;
}

}  // namespace

CodeplugRestoreResult CodeplugRestorePlan::Run(CodeplugImage& image, std::size_t uploadedBytes,
                                               uint8_t targetFormat, bool hardKey) const {
    CodeplugRestoreResult result;
    CodeplugFormat format;
    std::string reason;
    if (!format.CheckStructure(image, &reason)) {
        return Refuse(result, RestoreRefusal::Malformed, "not a well-formed codeplug: " + reason);
    }
    const uint8_t source = CodeplugFormat::FormatIndex(image);
    result.sourceFormat = source;
    // An unknown format counts as below 5.8.
    if (source == kUnknownFormat || source < kFormat58) {
        return Refuse(result, RestoreRefusal::FormatTooOld,
                      "a codeplug of format " + VersionText(source) +
                          " cannot be converted; 5.8 or newer is needed");
    }
    if (targetFormat == kUnknownFormat || targetFormat < kFormat58) {
        return Refuse(result, RestoreRefusal::FormatTooOld,
                      "the conversions reach 5.8 to 5.11, not " + VersionText(targetFormat));
    }
    if (targetFormat < source) {
        return Refuse(result, RestoreRefusal::Backwards,
                      "cannot convert backwards from " + VersionText(source) + " to " +
                          VersionText(targetFormat));
    }
    if (source < targetFormat && !format.ConvertChain(image, source, targetFormat)) {
        return Refuse(result, RestoreRefusal::Outgrown,
                      "the converted codeplug does not fit the 65536-byte image");
    }
    result.conversionChange = format.LengthChange();
    if (targetFormat == kFormat511) {
        // The verification records its own inserts and deletes in the image's total length only.
        const int32_t before = CodeplugFormat::TotalLength(image);
        const bool hadHardKey = Verifier511::HasHardKeyRecord(image);
        result.verified = format.Verify511(image, hardKey);
        result.verifyChange = int32_t{CodeplugFormat::TotalLength(image)} - before;
        result.hardKeyChange = int{Verifier511::HasHardKeyRecord(image)} - int{hadHardKey};
    }
    const int64_t bytes = static_cast<int64_t>(uploadedBytes) + 2 * int64_t{result.LengthChange()};
    if (bytes < 0 || bytes > static_cast<int64_t>(kMaxBytes)) {
        return Refuse(result, RestoreRefusal::BadLength,
                      "the codeplug to write back would be " + std::to_string(bytes) +
                          " bytes; an image holds 0 to 65536");
    }
    result.downloadBytes = static_cast<std::size_t>(bytes);
    return result;
}

}  // namespace quillon
