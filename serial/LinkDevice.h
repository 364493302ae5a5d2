#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/KVTCommDevice.h"
#include "serial/OpenFailure.h"

namespace quillon {

// The byte device of one device-mode connection, with the operations the link needs beyond the
// byte device itself: opening a device path, changing the speed of an open device, and telling
// why an open failed.
struct LinkDevice {
    std::unique_ptr<KVTCommDevice> device;
    std::function<bool(const std::string& devicePath, uint8_t baudIndex, bool flowControl)>
        openPort;
    std::function<void(uint8_t baudIndex)> setBaudRate;
    // Why the last openPort failed; may be empty (the reason is then unknown).
    std::function<OpenFailure()> openFailure;
};

// Makes a fresh, closed device for each connection.
using DeviceFactory = std::function<LinkDevice()>;

}  // namespace quillon
