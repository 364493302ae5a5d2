#include "serial/posix/TerminalSettings.h"

namespace quillon {

namespace {

void Clear(tcflag_t& flags, tcflag_t bits) {
    flags &= ~bits;
}

}  // namespace

bool TerminalSettings::ApplyDataBits(struct termios& tio, uint8_t index) {
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    if (index > 3) {
        return false;
    }
    Clear(tio.c_cflag, CSIZE);
    tio.c_cflag |= kSizes[index];
    return true;
}

bool TerminalSettings::ApplyParity(struct termios& tio, uint8_t code) {
    static constexpr tcflag_t kBits[] = {
        0,                         // none
        PARENB | PARODD,           // odd
        PARENB,                    // even
        PARENB | CMSPAR | PARODD,  // mark
        PARENB | CMSPAR,           // space
    };
    if (code > 4) {
        return false;
    }
    Clear(tio.c_cflag, PARENB | PARODD | CMSPAR);
    tio.c_cflag |= kBits[code];
    if (code == 0) {
        Clear(tio.c_iflag, INPCK);
    } else {
        tio.c_iflag |= INPCK;
    }
    return true;
}

bool TerminalSettings::ApplyStopBits(struct termios& tio, uint8_t code) {
    if (code > 2) {
        return false;
    }
    if (code == 0) {
        Clear(tio.c_cflag, CSTOPB);
    } else {
        tio.c_cflag |= CSTOPB;
    }
    return true;
}

bool TerminalSettings::ApplyFlowControl(struct termios& tio, uint8_t mode) {
    if (mode > 3) {
        return false;
    }
    Clear(tio.c_cflag, CRTSCTS);
    Clear(tio.c_iflag, IXON | IXOFF | IXANY);
    if (RtsRaised(mode)) {
        tio.c_cflag |= CRTSCTS;
    }
    if (mode == 2) {
        tio.c_iflag |= IXON | IXOFF;
    }
    return true;
}

void TerminalSettings::MakeRaw(struct termios& tio) {
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    Clear(tio.c_iflag, IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

}  // namespace quillon
