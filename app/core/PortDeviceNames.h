#pragma once

#include <string>
#include <vector>

namespace quillon {

// A serial device of the machine and the names under which it presents itself.
struct PortDeviceName {
    std::string devicePath;   // /dev/ttyUSB0
    std::string description;  // the interface's own name, when it has one
    std::string product;      // the USB device's product name
    std::string manufacturer;
    std::string vendorId;  // four hexadecimal digits, or empty
    std::string productId;
    std::string serial;
};

// Where the port list learns the names of the serial devices present.
class PortDeviceNames {
public:
    virtual ~PortDeviceNames() = default;
    // Every serial device present with its names; false when they cannot be listed.
    virtual bool List(std::vector<PortDeviceName>& devices) = 0;
};

}  // namespace quillon
