#pragma once

#include <cstdint>

namespace quillon {

// Line speeds that have no standard termios constant (14400, 56000, 128000, 256000 bit/s) go
// through the kernel's arbitrary-speed interface. Kept apart because its header clashes with
// <termios.h>.
class CustomLineSpeed {
public:
    // Sets both directions of the open terminal `fd` to `bitsPerSecond`. Returns false (errno
    // set) when the driver refuses.
    static bool Set(int fd, uint32_t bitsPerSecond);

    // The output speed the kernel holds for `fd` in bit/s, or 0 when it cannot be read.
    static uint32_t Get(int fd);
    // The input speed the kernel holds for `fd` in bit/s, or 0 when it cannot be read.
    static uint32_t GetInput(int fd);
};

}  // namespace quillon
