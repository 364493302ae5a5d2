#pragma once

#include <cstdint>
#include <string>

#include "parms/CodeplugFormat.h"

namespace quillon::tool {

// "5.11" for a format index.
std::string VersionText(uint8_t formatIndex);
// The image's format as "5.11", or "unknown (header word 3 = 0x....)".
std::string FormatText(const CodeplugImage& image);

}  // namespace quillon::tool
