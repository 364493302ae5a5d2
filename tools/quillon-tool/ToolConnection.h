#pragma once

#include <cstdint>
#include <string>

#include "link/Comm.h"

namespace quillon::tool {

// A --port argument resolved: a path is taken as it is, a number from 1 to 255 goes through the
// COM table (its device path is empty when the number has none).
struct ResolvedPort {
    std::string devicePath;
    std::string name;  // "COM7", or the path as given
};

// False, with `error` set, for an argument that is neither a path nor a COM number.
bool ResolvePort(const std::string& port, ResolvedPort& resolved, std::string& error);

// Opens `devicePath` in device mode at 19200 bit/s, framed and active, and switches the radio and
// the port to `speed` when it differs. False with `error` set to the updater's message followed
// by a line naming the device (or the COM number without one) and why it did not open.
bool ConnectLink(CommSession& session, const ResolvedPort& port, int32_t speed, std::string& error);

}  // namespace quillon::tool
