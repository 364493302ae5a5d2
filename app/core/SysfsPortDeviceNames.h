#pragma once

#include <string>
#include <vector>

#include "app/core/PortDeviceNames.h"

namespace quillon {

// The device names the kernel publishes: for each /sys/class/tty/NAME with a device behind it,
// the USB device's product, manufacturer, ids and serial number (found by walking up from the
// tty's device), and the USB interface's own name.
class SysfsPortDeviceNames : public PortDeviceNames {
public:
    explicit SysfsPortDeviceNames(std::string sysRoot = "/sys", std::string devRoot = "/dev")
        : sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)) {}
    bool List(std::vector<PortDeviceName>& devices) override;

private:
    std::string sysRoot_;
    std::string devRoot_;
};

}  // namespace quillon
