// Feeds arbitrary files to the COFF section reader: it must either refuse them or give sections
// whose sent data lies inside the file and inside a page.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "download/CoffReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<quillon::CoffSection> sections;
    std::string error;
    if (!quillon::ReadCoffSections(in, sections, error)) {
        if (error.empty()) {
            std::abort();
        }
        return 0;
    }
    for (const quillon::CoffSection& s : sections) {
        if (!quillon::PageIsSent(s.page)) {
            continue;
        }
        const uint64_t bytes = 2ull * s.sizeWords;
        if (s.dataOffset + bytes > size || 2ull * s.loadAddress + bytes > quillon::kMaxPageBytes) {
            std::abort();
        }
    }
    return 0;
}
