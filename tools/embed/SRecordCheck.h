#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon::embed {

// What is wrong with an S-record file, and where (1-based line number; 0 for the file as a
// whole).
struct SRecordFault {
    size_t line = 0;
    std::string reason;
};

// Checks an S-record image before it is embedded: every non-blank line is a record of a known
// type whose byte count matches its length and whose checksum holds, and an end record (S7, S8
// or S9) closes the file with nothing but blank lines after it. Returns true when sound;
// otherwise `fault` says the first line that is wrong.
bool CheckSRecordImage(std::string_view text, SRecordFault& fault);

}  // namespace quillon::embed
