#pragma once

// A COM port list with COM 7 present and no USB device names, for the connection code.

#include <string>
#include <vector>

#include "app/core/ComPortList.h"

namespace quillon::test {

class OnePortPresent : public PortPresence {
public:
    bool Present(int n) override { return n == 7; }
    std::string DevicePath(int n) override { return n == 7 ? "/dev/pts/7" : ""; }
};

class NoNames : public PortDeviceNames {
public:
    bool List(std::vector<PortDeviceName>& devices) override {
        devices.clear();
        return true;
    }
};

}  // namespace quillon::test
