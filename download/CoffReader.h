#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace quillon {

// One section of a DSP program's COFF file, as the DSP download uses it.
struct CoffSection {
    uint32_t loadAddress = 0;  // in 16-bit words
    uint32_t sizeWords = 0;
    uint32_t dataOffset = 0;  // in the file
    uint8_t page = 0;         // memory page
};

// Reads the section table of a COFF file (multi-byte values little-endian). Returns false with
// a text for the user when the header or the section table reaches past the end of the file, or
// a section of a page that is sent (`PageIsSent`) has data outside the file or would land beyond
// kMaxPageBytes of its page. Sections of pages that are not sent are kept unchecked.
bool ReadCoffSections(std::istream& in, std::vector<CoffSection>& sections, std::string& error);

// The memory pages whose sections go to the radio: 0, 2, 5, 6, 7 and 8.
bool PageIsSent(uint8_t page);

constexpr int kPageCount = 9;
// The largest page image accepted (a DSP page holds 64 K words; this leaves room).
constexpr uint64_t kMaxPageBytes = 4u << 20;

}  // namespace quillon
