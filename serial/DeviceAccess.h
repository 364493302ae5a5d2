#pragma once

#include <string>

#include "serial/OpenFailure.h"

namespace quillon {

// Turns the system error of a failed open into the reason a user can act on.
class DeviceAccess {
public:
    // The reason `path` did not open with `error` (an errno; ENOTTY for a non-terminal, EBUSY
    // for a held lock). For a refused permission, the device's group is read from the device.
    static OpenFailure Explain(const std::string& path, int error);
    // The name of the group that owns the file at `path`, or "" when it cannot be told.
    static std::string GroupOf(const std::string& path);
    // What the file at `path` is, for one that is not a terminal: "a folder", "a plain file";
    // "" when it cannot be told.
    static std::string KindOf(const std::string& path);
};

}  // namespace quillon
