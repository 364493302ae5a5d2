#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/KVTCommDevice.h"
#include "serial/OpenFailure.h"

namespace quillon {

class KVTWinExtSerialPort;

// The serial byte device: owns one port object and forwards to it.
class KVTCommDeviceSerial : public KVTCommDevice {
public:
    KVTCommDeviceSerial();
    ~KVTCommDeviceSerial() override;

    // Opens COM `portNumber` as 8 data bits, no parity, one stop bit, with the given baud-rate
    // index and flow control (mode 3 when on, 0 when off) and a 2-second character time-out.
    bool OpenPort(int portNumber, uint8_t baudIndex, bool flowControl);
    // The same for a device path.
    bool OpenPath(const std::string& devicePath, uint8_t baudIndex, bool flowControl);
    // Why the last OpenPort or OpenPath failed (Reason::None after a success).
    OpenFailure LastOpenFailure() const { return lastOpenFailure_; }
    void SetBaudRate(uint8_t baudIndex);
    void SetFlowControl(bool on);
    bool FlowControl() const { return flowControl_; }

    int Open() override;
    int Close() override;
    bool IsOpen() override;
    bool CharReady() override;
    int ReadByte(uint8_t* byte) override;
    int Read(uint8_t* buffer, int count) override;
    int Write(const uint8_t* buffer, int count) override;
    int WriteSome(const uint8_t* buffer, int count) override;
    int LastError() override;
    int WaitDescriptor() const override;

    KVTWinExtSerialPort& Port() { return *port_; }

private:
    std::unique_ptr<KVTWinExtSerialPort> port_;
    bool flowControl_ = false;
    OpenFailure lastOpenFailure_;
};

}  // namespace quillon
