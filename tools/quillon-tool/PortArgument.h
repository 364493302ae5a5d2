#pragma once

#include <string>

#include "serial/posix/ComPortPath.h"

namespace quillon::tool {

// The COM number of a --port argument: a number from 1 to 255, or 0.
inline int ParsePortNumber(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    const int n = std::stoi(text);
    return n >= ComPortPath::kFirst && n <= ComPortPath::kLast ? n : 0;
}

}  // namespace quillon::tool
