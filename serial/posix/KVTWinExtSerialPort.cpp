#include "serial/posix/KVTWinExtSerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "serial/posix/CustomLineSpeed.h"
#include "serial/posix/MonotonicClock.h"
#include "serial/posix/TerminalSettings.h"

namespace quillon {

namespace {

// The standard termios constant for a line speed, or B0 when there is none.
speed_t StandardSpeed(uint32_t bitsPerSecond) {
    static constexpr std::pair<uint32_t, speed_t> kSpeeds[] = {
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

enum class WaitResult { Ready, TimedOut, Failed };

// Waits until `fd` is readable (POLLIN) or writable (POLLOUT) for at most `ms`. Failed: the
// device has hung up or failed and will not become ready.
WaitResult WaitFor(int fd, short events, int64_t ms) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int timeout = static_cast<int>(std::clamp<int64_t>(ms, 0, INT_MAX));
        const int64_t start = MonotonicMs();
        const int rc = ::poll(&p, 1, timeout);
        if (rc > 0) {
            return (p.revents & events) != 0 ? WaitResult::Ready : WaitResult::Failed;
        }
        if (rc == 0) {
            return WaitResult::TimedOut;
        }
        if (errno != EINTR) {
            return WaitResult::Failed;
        }
        ms -= MonotonicMs() - start;
    }
}

}  // namespace

KVTWinExtSerialPort::KVTWinExtSerialPort() = default;

KVTWinExtSerialPort::~KVTWinExtSerialPort() {
    if (open_) {
        KVTWinExtSerialPort::Close();
    }
}

void KVTWinExtSerialPort::SetDefaults() {
    Close();
    KVTWinExtSerialBase::SetDefaults();
}

int64_t KVTWinExtSerialPort::CharacterTimeoutMs() const {
    const int64_t t = static_cast<int64_t>(timeoutSeconds_) * 1000 + timeoutMilliseconds_;
    return std::clamp<int64_t>(t, 0, INT_MAX);
}

void KVTWinExtSerialPort::Refused(int32_t code) {
    systemError_ = errno;
    lastError_ = code;
}

bool KVTWinExtSerialPort::ChangeLine(const std::function<void(struct termios&)>& change) {
    struct termios tio {};
    if (::tcgetattr(fd_, &tio) != 0) {
        Refused(kModeError);
        return false;
    }
    change(tio);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        Refused(kModeError);
        return false;
    }
    return true;
}

bool KVTWinExtSerialPort::WriteLineSpeed(uint32_t bitsPerSecond) {
    const speed_t standard = StandardSpeed(bitsPerSecond);
    if (standard != B0) {
        return ChangeLine([standard](struct termios& tio) {
            // A custom speed set earlier leaves its own input speed in the separate input-speed
            // field, which cfsetispeed does not touch: clear it so input follows output.
            tio.c_cflag &= ~static_cast<tcflag_t>(CIBAUD);
            ::cfsetispeed(&tio, standard);
            ::cfsetospeed(&tio, standard);
        });
    }
    if (!CustomLineSpeed::Set(fd_, bitsPerSecond)) {
        Refused(kModeError);
        return false;
    }
    return true;
}

bool KVTWinExtSerialPort::SetBaudRate(uint8_t index) {
    const uint8_t remembered = NormalisedBaudIndex(index);
    if (remembered != baudIndex_) {
        baudIndex_ = remembered;
    }
    const uint32_t speed = LineSpeedForIndex(index);
    if (!open_ || speed == 0) {
        return true;
    }
    return WriteLineSpeed(speed);
}

bool KVTWinExtSerialPort::SetDataBits(uint8_t index) {
    if (!DataAndStopBitsAgree(index, stopBits_)) {
        return true;  // neither remembered nor written
    }
    dataBits_ = index;
    if (!open_ || index > 3) {
        return true;
    }
    return ChangeLine(
        [index](struct termios& tio) { TerminalSettings::ApplyDataBits(tio, index); });
}

bool KVTWinExtSerialPort::SetStopBits(uint8_t code) {
    if (!DataAndStopBitsAgree(dataBits_, code)) {
        return true;
    }
    stopBits_ = code;
    if (!open_ || code > 2) {
        return true;
    }
    return ChangeLine([code](struct termios& tio) { TerminalSettings::ApplyStopBits(tio, code); });
}

bool KVTWinExtSerialPort::SetParity(uint8_t code) {
    parity_ = code;
    if (!open_ || code > 4) {
        return true;
    }
    return ChangeLine([code](struct termios& tio) { TerminalSettings::ApplyParity(tio, code); });
}

bool KVTWinExtSerialPort::SetFlowControl(uint8_t mode) {
    flowControl_ = mode;
    if (!open_ || mode > 3) {
        return true;
    }
    const bool ok =
        ChangeLine([mode](struct termios& tio) { TerminalSettings::ApplyFlowControl(tio, mode); });
    SetModemLine(TIOCM_RTS, TerminalSettings::RtsRaised(mode));
    return ok;
}

bool KVTWinExtSerialPort::SetTimeouts(int32_t seconds, int32_t milliseconds) {
    timeoutSeconds_ = seconds;
    timeoutMilliseconds_ = milliseconds;
    // Reads and writes take the time-out from the remembered values; nothing to write.
    return true;
}

bool KVTWinExtSerialPort::Open() {
    if (open_) {
        return true;
    }
    const int fd = ::open(portName_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        systemError_ = errno;
        return false;
    }
    auto fail = [&](int error) {
        systemError_ = error;
        ::close(fd);
        return false;
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
    fd_ = fd;
    open_ = true;
    // Errors counted before this open are not ours to report. A driver that keeps no counts
    // (a pseudo-terminal, for one) is not asked again on every poll.
    counts_ = {};
    serial_icounter_struct probe{};
    haveCounts_ = ::ioctl(fd_, TIOCGICOUNT, &probe) == 0;
    TakeLineErrors();

    SetBaudRate(baudIndex_);
    SetDataBits(dataBits_);
    SetStopBits(stopBits_);
    SetParity(parity_);
    SetFlowControl(flowControl_);
    SetTimeouts(timeoutSeconds_, timeoutMilliseconds_);
    return true;
}

void KVTWinExtSerialPort::Close() {
    if (!open_) {
        return;
    }
    ::close(fd_);  // releases the lock as well
    fd_ = -1;
    open_ = false;
}

void KVTWinExtSerialPort::Flush() {
    if (!open_) {
        return;
    }
    while (::tcdrain(fd_) != 0 && errno == EINTR) {
    }
}

uint32_t KVTWinExtSerialPort::TakeLineErrors() {
    serial_icounter_struct now{};
    if (!haveCounts_ || ::ioctl(fd_, TIOCGICOUNT, &now) != 0) {
        return 0;
    }
    uint32_t flags = 0;
    if (now.brk != counts_.brk)
        flags |= kFlagBreak;
    if (now.frame != counts_.frame)
        flags |= kFlagFraming;
    if (now.overrun != counts_.overrun)
        flags |= kFlagOverrun;
    if (now.parity != counts_.parity)
        flags |= kFlagParity;
    if (now.buf_overrun != counts_.bufOverrun)
        flags |= kFlagReceiveQueueOverflow;
    counts_ = {now.brk, now.frame, now.overrun, now.parity, now.buf_overrun};
    return flags;
}

bool KVTWinExtSerialPort::QueuedBytes(int32_t* count) {
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0) {
        systemError_ = errno;
        return false;
    }
    *count = n;
    return true;
}

int32_t KVTWinExtSerialPort::InQueueCount() {
    if (!open_) {
        return 0;
    }
    TakeLineErrors();
    int32_t n = 0;
    return QueuedBytes(&n) ? n : 0;
}

int32_t KVTWinExtSerialPort::PollInQueue() {
    if (!open_) {
        return 0;
    }
    SetErrorFromFlags(TakeLineErrors());
    int32_t n = 0;
    if (!QueuedBytes(&n)) {
        if (systemError_ == EIO) {
            SetErrorFromFlags(kFlagIOError);
        }
        return -1;
    }
    lastError_ = kNoError;
    return n;
}

void KVTWinExtSerialPort::SetErrorFromFlags(uint32_t flags) {
    const int32_t code = ErrorCodeForFlags(flags);
    if (code != kNoError) {
        lastError_ = code;
    }
}

int32_t KVTWinExtSerialPort::Read(uint8_t* buffer, int32_t count) {
    if (!open_ || buffer == nullptr || count <= 0) {
        return 0;
    }
    if (InQueueCount() == 0) {
        return 0;
    }
    // Every byte has the character time-out to arrive, and the whole read at most that much
    // per byte requested.
    const int64_t interval = CharacterTimeoutMs();
    const int64_t deadline = MonotonicMs() + interval * count;
    int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd_, buffer + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || errno != EAGAIN) {
            if (n < 0) {
                systemError_ = errno;
            }
            break;
        }
        const int64_t wait = std::min(interval, deadline - MonotonicMs());
        if (wait <= 0 || WaitFor(fd_, POLLIN, wait) != WaitResult::Ready) {
            break;  // what arrived so far is the result
        }
    }
    if (done == 0) {
        lastError_ = kReadFailed;
        return -1;
    }
    return done;
}

int32_t KVTWinExtSerialPort::Write(const uint8_t* buffer, int32_t count) {
    int32_t result = 0;
    if (open_ && buffer != nullptr && count > 0) {
        const int64_t deadline = MonotonicMs() + CharacterTimeoutMs() * count;
        int32_t done = 0;
        bool failed = false;
        while (done < count) {
            const ssize_t n = ::write(fd_, buffer + done, static_cast<size_t>(count - done));
            if (n > 0) {
                done += static_cast<int32_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno != EAGAIN) {
                systemError_ = errno;
                failed = true;
                break;
            }
            const int64_t wait = deadline - MonotonicMs();
            if (wait <= 0) {
                break;  // time-out: report what went out
            }
            const WaitResult ready = WaitFor(fd_, POLLOUT, wait);
            if (ready == WaitResult::Failed) {
                systemError_ = EIO;
                failed = true;
                break;
            }
            if (ready == WaitResult::TimedOut) {
                break;
            }
        }
        // A block that broke off because the device failed was not sent, whatever part of it
        // went out first.
        if (failed) {
            lastError_ = kWriteFailed;
            result = -1;
        } else {
            result = done;
        }
    }
    Flush();
    return result;
}

int32_t KVTWinExtSerialPort::WriteSome(const uint8_t* buffer, int32_t count) {
    if (!open_ || buffer == nullptr || count <= 0) {
        return 0;
    }
    int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, buffer + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            systemError_ = errno;
            lastError_ = kWriteFailed;
            return -1;
        }
        break;  // the output queue is full for now
    }
    return done;
}

bool KVTWinExtSerialPort::ReadChar(uint8_t* byte) {
    if (!open_ || byte == nullptr || InQueueCount() == 0) {
        return false;
    }
    uint8_t b = 0;
    if (Read(&b, 1) != 1) {
        lastError_ = kReadFailed;
        return false;
    }
    *byte = b;
    return true;
}

bool KVTWinExtSerialPort::WriteChar(uint8_t byte) {
    return Write(&byte, 1) == 1;
}

void KVTWinExtSerialPort::Nop() {}

void KVTWinExtSerialPort::SetModemLine(int line, bool on) {
    if (!open_) {
        return;
    }
    // A terminal without modem lines (a pseudo-terminal) refuses; there is nothing to drive.
    (void)::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line);
}

void KVTWinExtSerialPort::SetDTR(bool on) {
    SetModemLine(TIOCM_DTR, on);
}

void KVTWinExtSerialPort::SetRTS(bool on) {
    SetModemLine(TIOCM_RTS, on);
}

uint32_t KVTWinExtSerialPort::ModemStatus() {
    if (!open_) {
        return 0;
    }
    int lines = 0;
    if (::ioctl(fd_, TIOCMGET, &lines) != 0) {
        return 0;
    }
    uint32_t bits = 0;
    if ((lines & TIOCM_CTS) != 0)
        bits |= kCtsOn;
    if ((lines & TIOCM_DSR) != 0)
        bits |= kDsrOn;
    if ((lines & TIOCM_CD) != 0)
        bits |= kCarrierOn;
    if ((lines & TIOCM_RNG) != 0)
        bits |= kRingOn;
    return bits;
}

}  // namespace quillon
