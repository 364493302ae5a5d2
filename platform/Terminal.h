#pragma once

#include <cstdio>

namespace quillon {

// Whether `stream` goes to a terminal (a console window on Windows), where progress may be
// drawn over itself with carriage returns.
bool IsTerminal(std::FILE* stream);

}  // namespace quillon
