#include "serial/DeviceAccess.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

namespace quillon {

std::string DeviceAccess::GroupOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return std::to_string(st.st_gid);
    }
    return found->gr_name;
}

std::string DeviceAccess::KindOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    if (S_ISDIR(st.st_mode)) {
        return "a folder";
    }
    if (S_ISREG(st.st_mode)) {
        return "a plain file";
    }
    if (S_ISCHR(st.st_mode)) {
        return "a device that is not a terminal";
    }
    return "not a device";
}

OpenFailure DeviceAccess::Explain(const std::string& path, int error) {
    OpenFailure failure;
    failure.devicePath = path;
    failure.systemError = error;
    switch (error) {
        case 0:
            failure.reason = OpenFailure::Reason::None;
            break;
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case ENOTDIR:
            failure.reason = OpenFailure::Reason::NoSuchDevice;
            break;
        case ENOTTY:
        case EISDIR:
            failure.reason = OpenFailure::Reason::NotATerminal;
            failure.kind = KindOf(path);
            break;
        case EACCES:
        case EPERM:
            failure.reason = OpenFailure::Reason::PermissionDenied;
            failure.group = GroupOf(path);
            break;
        case EBUSY:
        case EWOULDBLOCK:
            failure.reason = OpenFailure::Reason::InUse;
            break;
        default:
            failure.reason = OpenFailure::Reason::Other;
            break;
    }
    return failure;
}

}  // namespace quillon
