#include "serial/posix/PosixSerialLine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "serial/DeviceAccess.h"
#include "serial/posix/CustomLineSpeed.h"
#include "serial/posix/TerminalSettings.h"

namespace quillon {

namespace {

// The standard termios constant for a line speed, or B0 when there is none.
speed_t StandardSpeed(int32_t bitsPerSecond) {
    static constexpr std::pair<int32_t, speed_t> kSpeeds[] = {
        {110, B110},     {300, B300},     {600, B600},       {1200, B1200},
        {2400, B2400},   {4800, B4800},   {9600, B9600},     {19200, B19200},
        {38400, B38400}, {57600, B57600}, {115200, B115200},
    };
    for (const auto& [bps, constant] : kSpeeds) {
        if (bps == bitsPerSecond) {
            return constant;
        }
    }
    return B0;
}

// Flow-control mode of the terminal settings: CTS output flow with RTS raised, or none.
uint8_t FlowMode(bool flowControl) {
    return flowControl ? 3 : 0;
}

}  // namespace

PosixSerialLine::~PosixSerialLine() {
    PosixSerialLine::Close();
}

LineFactory PosixSerialLine::Factory() {
    return [] { return std::make_unique<PosixSerialLine>(); };
}

OpenFailure PosixSerialLine::Open(const std::string& devicePath, const LineSettings& settings) {
    Close();
    devicePath_ = devicePath;
    settings_ = settings;
    if (devicePath.empty()) {
        OpenFailure failure;
        failure.reason = OpenFailure::Reason::NoSuchDevice;
        return failure;
    }
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return DeviceAccess::Explain(devicePath, errno);
    }
    auto fail = [&](int error) {
        ::close(fd);
        return DeviceAccess::Explain(devicePath, error);
    };
    if (::isatty(fd) != 1) {
        return fail(ENOTTY);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    }
    struct termios tio {};
    if (::tcgetattr(fd, &tio) != 0) {
        return fail(errno);
    }
    TerminalSettings::MakeRaw(tio);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        return fail(errno);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        return fail(errno);
    }
    fd_ = fd;
    // A setting the driver refuses leaves the line as it was; the open stands, as it always has.
    (void)ApplySettings();
    while (::tcdrain(fd_) != 0 && errno == EINTR) {
    }
    return {};
}

int PosixSerialLine::ApplySettings() {
    int refused = SetSpeed(settings_.bitsPerSecond).error;
    struct termios tio {};
    if (::tcgetattr(fd_, &tio) != 0) {
        return errno;
    }
    TerminalSettings::ApplyDataBits(tio, 3);
    TerminalSettings::ApplyStopBits(tio, 0);
    TerminalSettings::ApplyParity(tio, 0);
    TerminalSettings::ApplyFlowControl(tio, FlowMode(settings_.flowControl));
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0 && refused == 0) {
        refused = errno;
    }
    // In port mode RTS rests low until bytes go out.
    SetRts(!settings_.rs485 && TerminalSettings::RtsRaised(FlowMode(settings_.flowControl)));
    return refused;
}

void PosixSerialLine::SetRts(bool on) {
    int line = TIOCM_RTS;
    // A terminal without modem lines (a pseudo-terminal) refuses; there is nothing to drive.
    (void)::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line);
}

void PosixSerialLine::Close() {
    if (fd_ < 0) {
        return;
    }
    while (::tcdrain(fd_) != 0 && errno == EINTR) {
    }
    (void)::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // releases the lock as well
    fd_ = -1;
}

LineResult PosixSerialLine::SetSpeed(int32_t bitsPerSecond) {
    settings_.bitsPerSecond = bitsPerSecond;
    if (fd_ < 0) {
        return {};
    }
    const speed_t standard = StandardSpeed(bitsPerSecond);
    if (standard == B0) {
        return bitsPerSecond > 0 && CustomLineSpeed::Set(fd_, static_cast<uint32_t>(bitsPerSecond))
                   ? LineResult{}
                   : LineResult::Failed(errno);
    }
    struct termios tio {};
    if (::tcgetattr(fd_, &tio) != 0) {
        return LineResult::Failed(errno);
    }
    // A custom speed set earlier leaves its own input speed in the separate input-speed field,
    // which cfsetispeed does not touch: clear it so input follows output.
    tio.c_cflag &= ~static_cast<tcflag_t>(CIBAUD);
    ::cfsetispeed(&tio, standard);
    ::cfsetospeed(&tio, standard);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        return LineResult::Failed(errno);
    }
    return {};
}

LineResult PosixSerialLine::Write(const uint8_t* bytes, int count) {
    if (fd_ < 0) {
        return LineResult::Failed(EBADF);
    }
    if (settings_.rs485 && count > 0) {
        SetRts(true);
    }
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, bytes + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno != EAGAIN) {
            return LineResult::Failed(errno);
        } else {
            break;  // the output queue is full for now
        }
    }
    return LineResult::Bytes(done);
}

LineResult PosixSerialLine::Read(uint8_t* buffer, int capacity) {
    if (fd_ < 0) {
        return LineResult::Failed(EBADF);
    }
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, static_cast<size_t>(capacity));
        if (n >= 0) {
            // 0: end of file, a line whose far end has gone; nothing to read either way.
            return LineResult::Bytes(static_cast<int>(n));
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN ? LineResult{} : LineResult::Failed(errno);
    }
}

LineResult PosixSerialLine::Unsent() {
    if (fd_ < 0) {
        return {};
    }
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
        return LineResult::Failed(errno);
    }
    if (queued <= 0 && settings_.rs485) {
        SetRts(false);  // everything has left: the line is the radio's again
    }
    return LineResult::Bytes(queued > 0 ? queued : 0);
}

}  // namespace quillon
