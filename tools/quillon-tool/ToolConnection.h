#pragma once

#include <cstdint>
#include <string>

#include "link/Comm.h"

namespace quillon::tool {

// The device path of a --port argument: a path is taken as it is, a number from 1 to 255 goes
// through the COM table. False, with `error` set, for anything else.
bool ResolvePort(const std::string& port, std::string& devicePath, std::string& error);

// Opens `devicePath` in device mode at 19200 bit/s, framed and active, and switches the radio and
// the port to `speed` when it differs. False with `error` set to the updater's message followed
// by a line naming the device and why it did not open.
bool ConnectLink(CommSession& session, const std::string& devicePath, int32_t speed,
                 std::string& error);

}  // namespace quillon::tool
