#include "app/core/ImageFileCheck.h"

#include <fstream>
#include <vector>

#include "download/CoffReader.h"

namespace quillon {

bool ImageFileCheck::SRecordFile(const std::string& path, SRecordReader::Mode mode,
                                 SRecordFault& fault) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fault = {0, "cannot be opened"};
        return false;
    }
    return CheckSRecordImage(in, fault, mode);
}

bool ImageFileCheck::CoffFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot be opened";
        return false;
    }
    std::vector<CoffSection> sections;
    return ReadCoffSections(in, sections, error);
}

}  // namespace quillon
