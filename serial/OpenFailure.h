#pragma once

#include <string>

namespace quillon {

// Why a serial device did not open, as the device layer found out. The updater's own messages
// stay as they are; this is for the tool's and the trace's explanation of them.
struct OpenFailure {
    enum class Reason {
        None,              // no failure recorded
        NoSuchDevice,      // nothing at the path (or no device behind it)
        NotATerminal,      // the path opens, but is not a serial device
        PermissionDenied,  // the user may not open the device
        InUse,             // another program holds the device
        Other,             // any other system error
    };

    Reason reason = Reason::None;
    std::string devicePath;
    std::string group;    // PermissionDenied: the group that owns the device, when known
    std::string kind;     // NotATerminal: what is there instead ("a folder"), when known
    int systemError = 0;  // the errno behind the failure, 0 when none

    // One line naming the device, what went wrong and, where there is one, the fix.
    std::string Describe() const;
    // The same without the device: "not a serial device (a folder)".
    std::string Explanation() const;
    // A short name of the reason ("permission denied"), for lists and traces.
    static const char* ReasonName(Reason reason);
};

}  // namespace quillon
