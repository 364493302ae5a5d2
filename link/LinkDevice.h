#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "serial/KVTCommDevice.h"

namespace quillon {

// The byte device of one device-mode connection, with the two operations the session needs
// beyond the byte device itself: opening a numbered port and changing the speed of an open one.
struct LinkDevice {
    std::unique_ptr<KVTCommDevice> device;
    std::function<bool(int portNumber, uint8_t baudIndex, bool flowControl)> openPort;
    std::function<void(uint8_t baudIndex)> setBaudRate;
};

// Makes a fresh, closed device for each connection.
using DeviceFactory = std::function<LinkDevice()>;

// The program's own serial device.
DeviceFactory SerialDeviceFactory();

}  // namespace quillon
