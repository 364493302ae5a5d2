#pragma once

#include <termios.h>

#include <cstdint>
#include <functional>

#include "serial/KVTWinExtSerialBase.h"

namespace quillon {

// The serial port over a POSIX terminal device. The port name is the device path. The line runs
// raw (no echo, no character translation, modem control lines ignored for opening and reading);
// the device is opened non-blocking and every wait is a poll() bounded by the character
// time-out, so no call blocks longer than the time-out allows.
//
// An open port holds an exclusive advisory lock on the device: a port that another process
// (or another open in this one) holds does not open.
class KVTWinExtSerialPort : public KVTWinExtSerialBase {
public:
    KVTWinExtSerialPort();
    ~KVTWinExtSerialPort() override;

    // Back to the default settings; an open port is closed first, so that its device and lock
    // are not left behind when the open flag is cleared.
    void SetDefaults() override;

    bool SetBaudRate(uint8_t index) override;
    bool SetDataBits(uint8_t index) override;
    bool SetParity(uint8_t code) override;
    bool SetStopBits(uint8_t code) override;
    bool SetFlowControl(uint8_t mode) override;
    bool SetTimeouts(int32_t seconds, int32_t milliseconds) override;

    bool Open() override;
    void Close() override;
    void Flush() override;
    int32_t InQueueCount() override;
    int32_t PollInQueue() override;
    bool ReadChar(uint8_t* byte) override;
    bool WriteChar(uint8_t byte) override;
    void Nop() override;
    void SetErrorFromFlags(uint32_t flags) override;
    void SetDTR(bool on) override;
    void SetRTS(bool on) override;
    uint32_t ModemStatus() override;
    int32_t Read(uint8_t* buffer, int32_t count) override;
    int32_t Write(const uint8_t* buffer, int32_t count) override;
    // Writes what the driver takes now, without waiting or draining: the byte count (0 when the
    // output queue is full), -1 when the device failed.
    int32_t WriteSome(const uint8_t* buffer, int32_t count);

    // The open device's descriptor (readable when bytes arrive), or -1 when closed.
    int Descriptor() const { return fd_; }

    // errno of the last system call that failed (opening, a refused line setting, a failed read
    // or write), for messages; 0 when none has failed yet.
    int SystemError() const { return systemError_; }

private:
    struct LineCounts {
        int brk = 0;
        int frame = 0;
        int overrun = 0;
        int parity = 0;
        int bufOverrun = 0;
    };

    // The character time-out in milliseconds.
    int64_t CharacterTimeoutMs() const;
    // Changes the terminal settings of the open port; records a refusal.
    bool ChangeLine(const std::function<void(struct termios&)>& change);
    bool WriteLineSpeed(uint32_t bitsPerSecond);
    void SetModemLine(int line, bool on);
    // The line errors the driver counted since the last call, as line-error flags; 0 when the
    // driver keeps no counts.
    uint32_t TakeLineErrors();
    bool QueuedBytes(int32_t* count);
    void Refused(int32_t code);

    int fd_ = -1;
    int systemError_ = 0;
    LineCounts counts_;
    bool haveCounts_ = false;
};

}  // namespace quillon
