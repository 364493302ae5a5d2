#pragma once

#include <string>

#include "download/SRecordCheck.h"

namespace quillon {

// Opens an image file and checks it whole before anything of it goes to a radio: an S-record
// image with the download's own check, a DSP program by its section table. A file that cannot be
// opened is a fault of line 0.
class ImageFileCheck {
public:
    static bool SRecordFile(const std::string& path, SRecordReader::Mode mode, SRecordFault& fault);
    static bool CoffFile(const std::string& path, std::string& error);
};

}  // namespace quillon
