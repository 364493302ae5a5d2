#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>

#include "download/SRecordReader.h"

namespace quillon {

// What is wrong with an S-record image, and where (1-based line number; for a fault of the image
// as a whole, the number of its last line).
struct SRecordFault {
    size_t line = 0;
    std::string reason;
};

// Checks an S-record image whole, before it is embedded and again before anything of it goes to
// a radio: every non-blank line is a record of a known type whose byte count matches its length
// and whose checksum holds, no line is longer than the download's line read takes whole, at least
// one data record (S1, S2, S3) is there, and an end record closes the image with nothing but blank
// lines after it. The end record is S7, S8 or S9; for an image read the fixed S3 way (the loader
// before a DSP download) it must be S9, the only one that ends that reading. Returns true when
// sound; otherwise `fault` names the first line that is wrong.
bool CheckSRecordImage(std::string_view text, SRecordFault& fault,
                       SRecordReader::Mode mode = SRecordReader::Mode::kNormal);
// The same for a stream, read from its current position to its end and put back there; a stream
// whose position cannot be told or restored fails.
bool CheckSRecordImage(std::istream& in, SRecordFault& fault,
                       SRecordReader::Mode mode = SRecordReader::Mode::kNormal);

// "name:line: reason", or "name: reason" for a fault of line 0.
std::string DescribeFault(const std::string& name, const SRecordFault& fault);

}  // namespace quillon
