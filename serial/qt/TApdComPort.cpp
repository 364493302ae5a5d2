#include "serial/qt/TApdComPort.h"

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
#include <cstring>
#include <string>

#include "serial/posix/ComPortPath.h"

namespace quillon {

namespace {

[[noreturn]] void Refuse(int code, int comNumber, const std::string& why) {
    throw EAPDException(code, "COM" + std::to_string(comNumber) + ": " + why);
}

}  // namespace

TApdComPort::TApdComPort(QObject* parent) : QObject(parent) {
    lineEmptyCheck_.setSingleShot(true);
    lineEmptyCheck_.setTimerType(Qt::PreciseTimer);
    connect(&lineEmptyCheck_, &QTimer::timeout, this, &TApdComPort::EndTransmissionWhenSent);
    connect(&port_, &QSerialPort::bytesWritten, this, &TApdComPort::OnBytesWritten);
    // Queued: the port is closed from the event loop, not from inside its own signal.
    connect(&port_, &QSerialPort::errorOccurred, this, &TApdComPort::OnError, Qt::QueuedConnection);
}

TApdComPort::~TApdComPort() {
    ClosePort();
}

void TApdComPort::SetComNumber(int n) {
    comNumber_ = n;
}

int TApdComPort::ComNumber() const {
    return comNumber_;
}

void TApdComPort::SetRS485Mode(bool on) {
    rs485_ = on;
    if (port_.isOpen()) {
        SetRts(!on);
    }
}

bool TApdComPort::RS485Mode() const {
    return rs485_;
}

void TApdComPort::SetOpen(bool open) {
    if (open) {
        OpenPort();
    } else {
        ClosePort();
    }
}

bool TApdComPort::Open() const {
    return port_.isOpen();
}

void TApdComPort::OpenPort() {
    if (port_.isOpen()) {
        return;
    }
    const std::string entry =
        DevicePath().empty() ? ComPortPath::Resolve(comNumber_) : DevicePath();
    if (entry.empty()) {
        Refuse(EAPDException::kPortInUseOrMissing, comNumber_, "no such port");
    }
    // Qt names its own lock after the device, so give it the device itself, not a link to it.
    char resolved[PATH_MAX];
    if (::realpath(entry.c_str(), resolved) == nullptr) {
        Refuse(EAPDException::kPortInUseOrMissing, comNumber_, entry + " does not exist");
    }
    const std::string device = resolved;

    // Take the advisory lock before Qt touches the line, so that a port another program holds
    // keeps its settings.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const bool missing = error == ENOENT || error == ENXIO || error == ENODEV ||
                             error == EBUSY || error == EACCES || error == EIO;
        Refuse(missing ? EAPDException::kPortInUseOrMissing : kPortError, comNumber_,
               device + ": " + std::strerror(error));
    }
    if (::isatty(fd) != 1) {
        ::close(fd);
        Refuse(EAPDException::kPortInUseOrMissing, comNumber_, device + " is not a serial port");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        Refuse(EAPDException::kPortInUseOrMissing, comNumber_, device + " is in use");
    }

    port_.setPortName(QString::fromStdString(device));
    port_.setBaudRate(baud_);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port_.error();
        const std::string why = port_.errorString().toStdString();
        port_.clearError();
        ::close(fd);
        const bool inUseOrMissing = error == QSerialPort::DeviceNotFoundError ||
                                    error == QSerialPort::PermissionError ||
                                    error == QSerialPort::OpenError;
        Refuse(inUseOrMissing ? EAPDException::kPortInUseOrMissing : kPortError, comNumber_, why);
    }
    lockFd_ = fd;
    transmitting_ = false;
    if (rs485_) {
        SetRts(false);
    }
}

void TApdComPort::ClosePort() {
    lineEmptyCheck_.stop();
    transmitting_ = false;
    if (port_.isOpen()) {
        port_.close();
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);  // releases the lock
        lockFd_ = -1;
    }
}

void TApdComPort::OnError(QSerialPort::SerialPortError error) {
    if (!port_.isOpen()) {
        return;
    }
    // The device has gone (an adapter unplugged, the far end of a pseudo-terminal closed): the
    // port is no longer open, which ends every wait on it. Qt reports some of these as read
    // errors, and would report them again on every pass of the loop.
    bool gone = error == QSerialPort::ResourceError;
    if (error == QSerialPort::ReadError && lockFd_ >= 0) {
        pollfd p{lockFd_, POLLIN, 0};
        gone = ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
    if (gone) {
        ClosePort();
    }
}

void TApdComPort::FlushInBuffer() {
    if (port_.isOpen()) {
        port_.clear(QSerialPort::Input);
    }
}

void TApdComPort::FlushOutBuffer() {
    if (!port_.isOpen()) {
        return;
    }
    port_.clear(QSerialPort::Output);
    if (transmitting_) {
        EndTransmissionWhenSent();
    }
}

void TApdComPort::SetBaud(int32_t bitsPerSecond) {
    baud_ = bitsPerSecond;
    if (port_.isOpen()) {
        DrainOutput();
        port_.setBaudRate(bitsPerSecond);
    }
}

void TApdComPort::DrainOutput() {
    // What is queued was meant for the present speed (typically the request to change it):
    // hand it to the driver, then let the driver, the UART's FIFO or the adapter send it all.
    while (port_.bytesToWrite() > 0 && port_.waitForBytesWritten(kDrainStepMs)) {
    }
    if (lockFd_ >= 0) {
        while (::tcdrain(lockFd_) != 0 && errno == EINTR) {
        }
    }
}

int32_t TApdComPort::Baud() const {
    return baud_;
}

int TApdComPort::OutBuffUsed() const {
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

int TApdComPort::OutBuffFree() const {
    return std::max(0, kBufferSize - OutBuffUsed());
}

bool TApdComPort::CTS() const {
    int lines = 0;
    if (lockFd_ < 0 || ::ioctl(lockFd_, TIOCMGET, &lines) != 0) {
        return false;  // closed, or a terminal without modem lines
    }
    return (lines & TIOCM_CTS) != 0;
}

void TApdComPort::SetRts(bool on) {
    if (lockFd_ < 0) {
        return;
    }
    int line = TIOCM_RTS;
    // A terminal without modem lines refuses; there is no line to drive, so carry on.
    (void)::ioctl(lockFd_, on ? TIOCMBIS : TIOCMBIC, &line);
}

int TApdComPort::PutBlock(const uint8_t* data, int length) {
    if (!port_.isOpen() || data == nullptr || length < 0) {
        return -1;
    }
    if (length == 0) {
        return 0;
    }
    if (length > OutBuffFree()) {
        return 1;  // does not fit: nothing queued
    }
    if (rs485_) {
        lineEmptyCheck_.stop();
        SetRts(true);
        transmitting_ = true;
    }
    const qint64 queued = port_.write(reinterpret_cast<const char*>(data), length);
    if (queued != length) {
        if (transmitting_) {
            EndTransmissionWhenSent();
        }
        return -1;
    }
    return 0;
}

void TApdComPort::OnBytesWritten() {
    if (transmitting_ && port_.bytesToWrite() == 0) {
        EndTransmissionWhenSent();
    }
}

void TApdComPort::EndTransmissionWhenSent() {
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
    const int64_t ms = std::max<int64_t>(1, bits / std::max<int32_t>(baud_, 1));
    lineEmptyCheck_.start(static_cast<int>(std::min<int64_t>(ms, INT_MAX)));
}

bool TApdComPort::CharReady() {
    return port_.isOpen() && port_.bytesAvailable() > 0;
}

uint8_t TApdComPort::GetChar() {
    char c = 0;
    if (!port_.isOpen() || !port_.getChar(&c)) {
        return 0;
    }
    return static_cast<uint8_t>(c);
}

}  // namespace quillon
