// Feeds arbitrary text to the S-record reader in both modes and checks what it yields: never
// more data bytes than a line's characters can hold, never a weight outside 3 or 4.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "download/SRecordReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (auto mode :
         {quillon::SRecordReader::Mode::kNormal, quillon::SRecordReader::Mode::kFixedS3}) {
        std::istringstream in(text);
        quillon::SRecordReader reader(in, mode);
        quillon::SRecordReader::Record record;
        size_t total = 0;
        while (reader.Next(record)) {
            if (record.size < 0 || record.size > quillon::SRecordReader::kMaxDataBytes ||
                (record.weight != 3 && record.weight != 4)) {
                std::abort();
            }
            total += static_cast<size_t>(record.size);
        }
        if (total > size / 2) {
            std::abort();
        }
    }
    // The line functions on every prefix-sized piece.
    const std::string_view view(text);
    for (size_t n = 0; n <= view.size() && n < 64; ++n) {
        const std::string_view line = view.substr(0, n);
        (void)quillon::RecordClass(line);
        (void)quillon::IsEndRecord(line);
        if (quillon::DataByteCount(line) < 0) {
            std::abort();
        }
        (void)quillon::WordAt(line, static_cast<int>(n % 20));
    }
    return 0;
}
