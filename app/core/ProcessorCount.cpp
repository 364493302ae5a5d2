#include "app/core/ProcessorCount.h"

#ifdef _WIN32
#include <windows.h>

#include <bit>
#else
#include <sched.h>
#endif

namespace quillon {

int ProcessorCount() {
#ifdef _WIN32
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system)) {
        return 1;
    }
    const int count = std::popcount(static_cast<unsigned long long>(process));
    return count > 0 ? count : 1;
#else
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) {
        return 1;
    }
    const int count = CPU_COUNT(&set);
    return count > 0 ? count : 1;
#endif
}

}  // namespace quillon
