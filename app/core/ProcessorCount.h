#pragma once

namespace quillon {

// The number of processors this process may run on (so `taskset -c 0` gives 1); at least 1.
int ProcessorCount();

}  // namespace quillon
