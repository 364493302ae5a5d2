#pragma once

#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include "serial/SerialLine.h"

namespace quillon {

// The serial line over QSerialPort, for port mode. Runs 8 data bits, no parity, one stop bit,
// with a 4096-byte transmit buffer that Qt sends in the background. A new speed takes effect
// as soon as the bytes already queued have gone out at the old one.
//
// In RS-485 mode RTS rests low and is raised around each transmission, dropped again once the
// bytes have left the line; nothing is taken for sending while CTS is asserted. On a terminal
// without modem lines (a pseudo-terminal) the refused RTS changes are ignored and CTS reads as
// not asserted.
//
// Bytes arrive while the Qt event loop runs; a wait keeps it running, so there is no wait
// handle. A device that goes away (an adapter unplugged) closes the line.
class QtSerialLine : public QObject, public SerialLine {
    Q_OBJECT

public:
    static constexpr int kBufferSize = 4096;
    // How long a drain waits for the driver to take more of the queue before giving up.
    static constexpr int kDrainStepMs = 2000;

    explicit QtSerialLine(QObject* parent = nullptr);
    ~QtSerialLine() override;

    OpenFailure Open(const std::string& devicePath, const LineSettings& settings) override;
    bool IsOpen() const override { return port_.isOpen(); }
    // Drops what is still queued either way and closes.
    void Close() override;
    LineResult Write(const uint8_t* bytes, int count) override;
    LineResult Read(uint8_t* buffer, int capacity) override;
    LineResult Unsent() override;
    LineResult SetSpeed(int32_t bitsPerSecond) override;

    // Whether RTS is raised for a transmission in RS-485 mode (for diagnostics and tests).
    bool TransmitRtsRaised() const { return transmitting_; }
    // Whether the far end asserts CTS (false when closed or without modem lines).
    bool ClearToSend() const;

private:
    void SetRts(bool on);
    // Sends everything queued before returning (a speed change must not catch it in flight).
    void DrainOutput();
    void OnBytesWritten();
    void OnError(QSerialPort::SerialPortError error);
    // Drops RTS once nothing is left to send, in the driver or on the wire; checks again a
    // character time later when something still is.
    void EndTransmissionWhenSent();
    int QueuedBytes() const;

    QSerialPort port_;
    QTimer lineEmptyCheck_;
    bool transmitting_ = false;
    int lockFd_ = -1;  // a second descriptor of the device that holds its locks
};

}  // namespace quillon
