#pragma once

#include <vector>

#include "app/core/PortDeviceNames.h"

namespace quillon {

// The device names as Qt SerialPort reports them (description, manufacturer, ids, serial
// number). Qt lists no pseudo-terminals; their presence comes from the port list's own test.
class QtPortDeviceNames : public PortDeviceNames {
public:
    bool List(std::vector<PortDeviceName>& devices) override;
};

}  // namespace quillon
