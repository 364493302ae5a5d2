#include "serial/posix/CustomLineSpeed.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

#include <cerrno>

// <sys/ioctl.h> would drag in the C library's termios definitions, which clash with the
// kernel's; the declaration is all that is needed here.
extern "C" int ioctl(int fd, unsigned long request, ...);

namespace quillon {

bool CustomLineSpeed::Set(int fd, uint32_t bitsPerSecond) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return false;
    }
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ospeed = bitsPerSecond;
    tio.c_ispeed = bitsPerSecond;
    if (ioctl(fd, TCSETS2, &tio) != 0) {
        return false;
    }
    // A driver that cannot make the speed quietly keeps another one; read back what it holds
    // and refuse anything more than 3 % away from the request.
    const uint32_t actual = Get(fd);
    const uint32_t tolerance = bitsPerSecond / 33;
    if (actual + tolerance < bitsPerSecond || actual > bitsPerSecond + tolerance) {
        errno = EINVAL;
        return false;
    }
    return true;
}

uint32_t CustomLineSpeed::Get(int fd) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return 0;
    }
    return tio.c_ospeed;
}

uint32_t CustomLineSpeed::GetInput(int fd) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return 0;
    }
    return tio.c_ispeed;
}

}  // namespace quillon
