#include "platform/Process.h"

#include <windows.h>

namespace quillon {

long ProcessId() {
    return static_cast<long>(::GetCurrentProcessId());
}

}  // namespace quillon
