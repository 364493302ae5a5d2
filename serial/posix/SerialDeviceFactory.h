#pragma once

#include "serial/LinkDevice.h"

namespace quillon {

// The program's own serial device (termios), one fresh device per connection.
DeviceFactory SerialDeviceFactory();

}  // namespace quillon
