#include "platform/Process.h"

#include <unistd.h>

namespace quillon {

long ProcessId() {
    return static_cast<long>(::getpid());
}

}  // namespace quillon
