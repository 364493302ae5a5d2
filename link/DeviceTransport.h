#pragma once

#include <memory>
#include <string>

#include "link/LinkTransport.h"
#include "serial/EventPump.h"
#include "serial/LinkDevice.h"

namespace quillon {

// Device mode: a byte device made by a factory (the program's own serial device, or a test's).
class DeviceTransport : public LinkTransport {
public:
    DeviceTransport(EventPump& pump, LinkDevice device);
    ~DeviceTransport() override;

    // Opens `devicePath`; on failure `failure` tells why, as far as the device knows.
    bool Open(const std::string& devicePath, uint8_t baudIndex, bool flowControl,
              OpenFailure& failure);

    bool PortMode() const override { return false; }
    std::string DevicePath() const override { return path_; }
    bool IsOpen() const override;
    bool CharReady() override;
    bool ReadByte(uint8_t& byte) override;
    int WaitDescriptor() const override;
    int Write(const uint8_t* bytes, int count) override;
    void FinishSending() override {}
    void SetBaud(int32_t baudRate) override;
    void Close() override;

    KVTCommDevice* Device() const { return link_.device.get(); }

private:
    EventPump& pump_;
    LinkDevice link_;
    std::string path_;
};

}  // namespace quillon
