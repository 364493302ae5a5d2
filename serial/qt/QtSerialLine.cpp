#include "serial/qt/QtSerialLine.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "serial/DeviceAccess.h"

namespace quillon {

QtSerialLine::QtSerialLine(QObject* parent) : QObject(parent) {
    lineEmptyCheck_.setSingleShot(true);
    lineEmptyCheck_.setTimerType(Qt::PreciseTimer);
    connect(&lineEmptyCheck_, &QTimer::timeout, this, &QtSerialLine::EndTransmissionWhenSent);
    connect(&port_, &QSerialPort::bytesWritten, this, &QtSerialLine::OnBytesWritten);
    // Queued: the port is closed from the event loop, not from inside its own signal.
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLine::OnError,
            Qt::QueuedConnection);
}

QtSerialLine::~QtSerialLine() {
    QtSerialLine::Close();
}

OpenFailure QtSerialLine::Open(const std::string& devicePath, const LineSettings& settings) {
    Close();
    devicePath_ = devicePath;
    settings_ = settings;
    OpenFailure failure;
    failure.devicePath = devicePath;
    if (devicePath.empty()) {
        failure.reason = OpenFailure::Reason::NoSuchDevice;
        return failure;
    }
    // Qt names its own lock after the device, so give it the device itself, not a link to it.
    char resolved[PATH_MAX];
    if (::realpath(devicePath.c_str(), resolved) == nullptr) {
        return DeviceAccess::Explain(devicePath, errno);
    }
    const std::string device = resolved;

    // Take the advisory lock before Qt touches the line, so that a port another program holds
    // keeps its settings.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        failure = DeviceAccess::Explain(devicePath, error);
        if (error == EIO) {
            failure.reason = OpenFailure::Reason::NoSuchDevice;  // a device whose far end is gone
        }
        return failure;
    }
    if (::isatty(fd) != 1) {
        ::close(fd);
        return DeviceAccess::Explain(devicePath, ENOTTY);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return DeviceAccess::Explain(devicePath, EBUSY);
    }

    port_.setPortName(QString::fromStdString(device));
    port_.setBaudRate(settings.bitsPerSecond);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(settings.flowControl ? QSerialPort::HardwareControl
                                              : QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port_.error();
        const std::string why = port_.errorString().toStdString();
        port_.clearError();
        ::close(fd);
        switch (error) {
            case QSerialPort::DeviceNotFoundError:
                failure.reason = OpenFailure::Reason::NoSuchDevice;
                break;
            case QSerialPort::PermissionError:
            case QSerialPort::OpenError:
                failure.reason = OpenFailure::Reason::InUse;
                break;
            default:
                failure.reason = OpenFailure::Reason::Other;
                break;
        }
        return failure;
    }
    lockFd_ = fd;
    // From here on no other program opens the device, lock or no lock.
    (void)::ioctl(lockFd_, TIOCEXCL);
    transmitting_ = false;
    if (settings.rs485) {
        SetRts(false);
    }
    port_.clear(QSerialPort::AllDirections);
    return {};
}

void QtSerialLine::Close() {
    lineEmptyCheck_.stop();
    if (port_.isOpen()) {
        port_.clear(QSerialPort::AllDirections);
        if (transmitting_) {
            SetRts(false);
        }
        port_.close();
    }
    transmitting_ = false;
    if (lockFd_ >= 0) {
        (void)::ioctl(lockFd_, TIOCNXCL);
        ::close(lockFd_);  // releases the lock
        lockFd_ = -1;
    }
}

void QtSerialLine::OnError(QSerialPort::SerialPortError error) {
    if (!port_.isOpen()) {
        return;
    }
    // The device has gone (an adapter unplugged, the far end of a pseudo-terminal closed): the
    // line is no longer open, which ends every wait on it. Qt reports some of these as read
    // errors, and would report them again on every pass of the loop.
    bool gone = error == QSerialPort::ResourceError;
    if (error == QSerialPort::ReadError && lockFd_ >= 0) {
        pollfd p{lockFd_, POLLIN, 0};
        gone = ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
    if (gone) {
        Close();
    }
}

LineResult QtSerialLine::SetSpeed(int32_t bitsPerSecond) {
    settings_.bitsPerSecond = bitsPerSecond;
    if (port_.isOpen()) {
        DrainOutput();
        if (!port_.setBaudRate(bitsPerSecond)) {
            return LineResult::Failed(EINVAL);
        }
    }
    return {};
}

void QtSerialLine::DrainOutput() {
    // What is queued was meant for the present speed (typically the request to change it):
    // hand it to the driver, then let the driver, the UART's FIFO or the adapter send it all.
    while (port_.bytesToWrite() > 0 && port_.waitForBytesWritten(kDrainStepMs)) {
    }
    if (lockFd_ >= 0) {
        while (::tcdrain(lockFd_) != 0 && errno == EINTR) {
        }
    }
}

int QtSerialLine::QueuedBytes() const {
    if (!port_.isOpen()) {
        return 0;
    }
    // Bytes still in the driver's transmit queue have not been sent either.
    int queued = 0;
    if (lockFd_ < 0 || ::ioctl(lockFd_, TIOCOUTQ, &queued) != 0 || queued < 0) {
        queued = 0;
    }
    return static_cast<int>(std::min<qint64>(port_.bytesToWrite() + queued, INT_MAX));
}

LineResult QtSerialLine::Unsent() {
    return LineResult::Bytes(QueuedBytes());
}

bool QtSerialLine::ClearToSend() const {
    int lines = 0;
    if (lockFd_ < 0 || ::ioctl(lockFd_, TIOCMGET, &lines) != 0) {
        return false;  // closed, or a terminal without modem lines
    }
    return (lines & TIOCM_CTS) != 0;
}

void QtSerialLine::SetRts(bool on) {
    if (lockFd_ < 0) {
        return;
    }
    int line = TIOCM_RTS;
    // A terminal without modem lines refuses; there is no line to drive, so carry on.
    (void)::ioctl(lockFd_, on ? TIOCMBIS : TIOCMBIC, &line);
}

LineResult QtSerialLine::Write(const uint8_t* bytes, int count) {
    if (!port_.isOpen()) {
        return LineResult::Failed(EBADF);
    }
    if (count <= 0) {
        return {};
    }
    // The far end is talking on the shared line: wait for it.
    if (settings_.rs485 && ClearToSend()) {
        return {};
    }
    // A block goes into the buffer whole, once it fits.
    const int take = count <= kBufferSize - QueuedBytes() ? count : 0;
    if (take == 0) {
        return {};
    }
    if (settings_.rs485) {
        lineEmptyCheck_.stop();
        SetRts(true);
        transmitting_ = true;
    }
    const qint64 queued = port_.write(reinterpret_cast<const char*>(bytes), take);
    if (queued != take) {
        if (transmitting_) {
            EndTransmissionWhenSent();
        }
        return LineResult::Failed(EIO);
    }
    return LineResult::Bytes(take);
}

LineResult QtSerialLine::Read(uint8_t* buffer, int capacity) {
    if (!port_.isOpen()) {
        return LineResult::Failed(EBADF);
    }
    const qint64 n = port_.read(reinterpret_cast<char*>(buffer), capacity);
    return n < 0 ? LineResult::Failed(EIO) : LineResult::Bytes(static_cast<int>(n));
}

void QtSerialLine::OnBytesWritten() {
    if (transmitting_ && port_.bytesToWrite() == 0) {
        EndTransmissionWhenSent();
    }
}

void QtSerialLine::EndTransmissionWhenSent() {
    if (!transmitting_ || port_.bytesToWrite() > 0) {
        return;
    }
    int pending = 0;
    if (lockFd_ >= 0 && ::ioctl(lockFd_, TIOCOUTQ, &pending) != 0) {
        pending = 0;
    }
    unsigned int lineStatus = 0;
    const bool shifterEmpty = lockFd_ < 0 || ::ioctl(lockFd_, TIOCSERGETLSR, &lineStatus) != 0 ||
                              (lineStatus & TIOCSER_TEMT) != 0;
    if (pending <= 0 && shifterEmpty) {
        SetRts(false);
        transmitting_ = false;
        return;
    }
    // Look again when the bytes still queued should have left: ten bit times each.
    const int64_t bits = static_cast<int64_t>(std::max(pending, 1)) * 10 * 1000;
    const int64_t ms = std::max<int64_t>(1, bits / std::max<int32_t>(settings_.bitsPerSecond, 1));
    lineEmptyCheck_.start(static_cast<int>(std::min<int64_t>(ms, INT_MAX)));
}

}  // namespace quillon
