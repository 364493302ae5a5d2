#pragma once

#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include "serial/PortComponent.h"

namespace quillon {

// The serial-port component over QSerialPort. Runs 8 data bits, no parity, one stop bit, no
// flow control, 19200 bit/s until Baud is set, with 4096-byte buffers each way. A new speed
// takes effect as soon as the bytes already queued have gone out at the old one.
//
// In RS-485 mode RTS rests low and is raised around each transmission, dropped again once the
// bytes have left the line. On a terminal without modem lines (a pseudo-terminal) the refused
// RTS changes are ignored and CTS reads as not asserted.
//
// Bytes arrive while the Qt event loop runs; a wait keeps it running, so WaitDescriptor is -1.
class TApdComPort : public QObject, public PortComponent {
    Q_OBJECT

public:
    // The code for a failure to open other than a port in use or missing.
    static constexpr int kPortError = -2000;
    // How long a drain waits for the driver to take more of the queue before giving up.
    static constexpr int kDrainStepMs = 2000;

    explicit TApdComPort(QObject* parent = nullptr);
    ~TApdComPort() override;

    void SetComNumber(int n) override;
    int ComNumber() const override;
    void SetRS485Mode(bool on) override;
    bool RS485Mode() const override;
    void SetOpen(bool open) override;
    bool Open() const override;
    void FlushInBuffer() override;
    void FlushOutBuffer() override;
    void SetBaud(int32_t bitsPerSecond) override;
    int32_t Baud() const override;
    int OutBuffFree() const override;
    int OutBuffUsed() const override;
    bool CTS() const override;
    int PutBlock(const uint8_t* data, int length) override;
    bool CharReady() override;
    uint8_t GetChar() override;

    // Whether RTS is raised for a transmission in RS-485 mode (for diagnostics and tests).
    bool TransmitRtsRaised() const { return transmitting_; }

private:
    void OpenPort();
    void ClosePort();
    void SetRts(bool on);
    // Sends everything queued before returning (a speed change must not catch it in flight).
    void DrainOutput();
    void OnBytesWritten();
    void OnError(QSerialPort::SerialPortError error);
    // Drops RTS once nothing is left to send, in the driver or on the wire; checks again a
    // character time later when something still is.
    void EndTransmissionWhenSent();

    QSerialPort port_;
    QTimer lineEmptyCheck_;
    int comNumber_ = 1;
    bool rs485_ = false;
    bool transmitting_ = false;
    int32_t baud_ = 19200;
    int lockFd_ = -1;  // a second descriptor of the device that holds its advisory lock
};

}  // namespace quillon
