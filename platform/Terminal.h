#pragma once

#include <cstdio>

namespace quillon {

// Whether `stream` goes to a terminal (a console window on Windows), where progress may be
// drawn over itself with carriage returns.
bool IsTerminal(std::FILE* stream);

// Whether `a` and `b` write to one and the same place (a terminal, a file or a pipe), so that
// what one writes follows straight on what the other wrote.
bool SameDestination(std::FILE* a, std::FILE* b);

}  // namespace quillon
