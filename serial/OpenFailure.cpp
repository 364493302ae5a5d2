#include "serial/OpenFailure.h"

namespace quillon {

const char* OpenFailure::ReasonName(Reason reason) {
    switch (reason) {
        case Reason::None:
            return "no error";
        case Reason::NoSuchDevice:
            return "does not exist";
        case Reason::NotATerminal:
            return "not a serial device";
        case Reason::PermissionDenied:
            return "permission denied";
        case Reason::InUse:
            return "in use by another program";
        case Reason::Other:
            break;
    }
    return "system error";
}

std::string OpenFailure::Describe() const {
    const std::string device = devicePath.empty() ? std::string("(no device)") : devicePath;
    return device + ": " + Explanation();
}

std::string OpenFailure::Explanation() const {
    std::string text = ReasonName(reason);
    if (reason == Reason::NotATerminal && !kind.empty()) {
        text += " (" + kind + ")";
    }
    if (reason == Reason::Other && systemError != 0) {
        text += " " + std::to_string(systemError);
    }
    if (reason == Reason::PermissionDenied) {
        if (!group.empty()) {
            text += " (the device belongs to group " + group + "; to join it: sudo usermod -aG " +
                    group + " $USER, then log in again)";
        } else {
            text += " (ask for read and write access to the device)";
        }
    }
    return text;
}

}  // namespace quillon
