#pragma once

// The device of a device-mode connection is an interface of the serial layer; the program's own
// serial device comes from serial/posix/SerialDeviceFactory.h, which only the programs link.
#include "serial/LinkDevice.h"
