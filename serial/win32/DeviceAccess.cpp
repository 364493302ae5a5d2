#include "serial/DeviceAccess.h"

#include <windows.h>

namespace quillon {

OpenFailure DeviceAccess::Explain(const std::string& path, int error) {
    OpenFailure failure;
    failure.devicePath = path;
    failure.systemError = error;
    switch (static_cast<DWORD>(error)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_INVALID_NAME:
            failure.reason = OpenFailure::Reason::NoSuchDevice;
            break;
        case ERROR_ACCESS_DENIED:
            // What Windows answers for a COM port another program has open.
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            failure.reason = OpenFailure::Reason::InUse;
            break;
        case ERROR_PRIVILEGE_NOT_HELD:
            failure.reason = OpenFailure::Reason::PermissionDenied;
            break;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
            failure.reason = OpenFailure::Reason::NotATerminal;
            break;
        default:
            failure.reason = OpenFailure::Reason::Other;
            break;
    }
    return failure;
}

std::string DeviceAccess::GroupOf(const std::string&) {
    return {};  // Windows grants ports to users, not to a group one can join
}

}  // namespace quillon
