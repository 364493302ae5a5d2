#pragma once

#include <cstdint>

namespace quillon {

// Milliseconds on the system's monotonic clock (unaffected by changes of the wall clock).
int64_t MonotonicMs();

}  // namespace quillon
