#pragma once

#include <string>

namespace quillon::tool {

// A --port argument: a COM number written "7", "COM7" or "com7" (any case, 1 to 255), or a device
// path (anything with a "/"). A number goes through the COM table; a path is taken as it is.
struct PortArgument {
    int number = 0;    // the COM number; for a path, one that names the same device, or 0
    std::string path;  // what is opened: the COM entry or device, "" for a number with none
    std::string name;  // "COM7", or the path as given
    bool isPath = false;

    // False, with `error` saying what is accepted, for anything else.
    static bool Parse(const std::string& text, PortArgument& port, std::string& error);

    // The port as the user reads it in messages: "COM8 (/dev/ttyS7)", "COM200 (no device)",
    // "COM7 (/tmp/coms/com7 -> /dev/pts/3)", "/dev/pts/3 (COM7)", "/tmp".
    std::string Label() const;
};

}  // namespace quillon::tool
