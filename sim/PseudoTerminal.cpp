#include "sim/PseudoTerminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quillon::sim {

namespace {

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool SpeedConstant(uint32_t baud, speed_t& speed) {
    switch (baud) {
        case 9600:
            speed = B9600;
            return true;
        case 19200:
            speed = B19200;
            return true;
        case 38400:
            speed = B38400;
            return true;
        case 57600:
            speed = B57600;
            return true;
        case 115200:
            speed = B115200;
            return true;
        default:
            return false;
    }
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    if (slave_ >= 0) {
        close(slave_);
    }
    if (master_ >= 0) {
        close(master_);
    }
}

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open(std::string& error) {
    std::unique_ptr<PseudoTerminal> pty(new PseudoTerminal());
    pty->master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty->master_ < 0) {
        error = Reason("cannot open a pseudo-terminal");
        return nullptr;
    }
    if (grantpt(pty->master_) != 0 || unlockpt(pty->master_) != 0) {
        error = Reason("cannot unlock the pseudo-terminal");
        return nullptr;
    }
    char name[256];
    if (ptsname_r(pty->master_, name, sizeof name) != 0) {
        error = Reason("cannot name the pseudo-terminal");
        return nullptr;
    }
    pty->slavePath_ = name;
    pty->slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty->slave_ < 0) {
        error = Reason("cannot open the pseudo-terminal's device");
        return nullptr;
    }
    // Raw on the device side: no echo, no line editing, no translation of CR/LF, so every byte
    // goes through unchanged in both directions.
    termios settings{};
    if (tcgetattr(pty->slave_, &settings) != 0) {
        error = Reason("cannot read the pseudo-terminal settings");
        return nullptr;
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&settings, B19200);
    if (tcsetattr(pty->slave_, TCSANOW, &settings) != 0) {
        error = Reason("cannot set the pseudo-terminal to raw mode");
        return nullptr;
    }
    const int flags = fcntl(pty->master_, F_GETFL);
    if (flags < 0 || fcntl(pty->master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = Reason("cannot make the pseudo-terminal non-blocking");
        return nullptr;
    }
    return pty;
}

bool PseudoTerminal::SetSpeed(uint32_t baud, std::string& error) {
    speed_t speed{};
    if (!SpeedConstant(baud, speed)) {
        error = "unsupported speed " + std::to_string(baud);
        return false;
    }
    // The settings are read afresh: the updater may have changed them on its side meanwhile.
    termios settings{};
    if (tcgetattr(master_, &settings) != 0 || cfsetspeed(&settings, speed) != 0 ||
        tcsetattr(master_, TCSANOW, &settings) != 0) {
        error = Reason("cannot change the line speed");
        return false;
    }
    return true;
}

}  // namespace quillon::sim
