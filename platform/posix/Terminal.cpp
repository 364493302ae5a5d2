#include "platform/Terminal.h"

#include <unistd.h>

namespace quillon {

bool IsTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

}  // namespace quillon
