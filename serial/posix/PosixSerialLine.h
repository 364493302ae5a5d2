#pragma once

#include "serial/SerialLine.h"

namespace quillon {

// The serial line over a POSIX terminal device. The line runs raw 8N1 (no echo, no character
// translation, modem control lines ignored for opening and reading), non-blocking.
//
// An open line holds the device two ways: an exclusive advisory lock, which serial terminal
// programs honour, and the terminal's exclusive mode, so that no other program (one that does
// not look at locks included) can open the device while bytes go to the radio.
class PosixSerialLine : public SerialLine {
public:
    PosixSerialLine() = default;
    ~PosixSerialLine() override;

    OpenFailure Open(const std::string& devicePath, const LineSettings& settings) override;
    bool IsOpen() const override { return fd_ >= 0; }
    void Close() override;
    LineResult Write(const uint8_t* bytes, int count) override;
    LineResult Read(uint8_t* buffer, int capacity) override;
    LineResult Unsent() override;
    LineResult SetSpeed(int32_t bitsPerSecond) override;
    int WaitHandle() const override { return fd_; }

    // The program's lines: a fresh PosixSerialLine for each connection.
    static LineFactory Factory();

private:
    // The system error of the last refused setting (0 when the line took it).
    int ApplySettings();
    void SetRts(bool on);

    int fd_ = -1;
};

}  // namespace quillon
