#include "app/core/CodeplugBackup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "serial/posix/WriteAll.h"

namespace quillon {

namespace {

bool Absolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// Creates `folder` and its parents (mode 0700 for new ones).
bool MakeFolders(const std::string& folder, std::string& error) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + part + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = folder + " is not a folder";
        return false;
    }
    return true;
}

// Only characters that are safe in a file name pass; anything else becomes '_'.
std::string SafeSerial(const std::string& serial) {
    if (serial.empty()) {
        return "unknown";
    }
    std::string safe;
    for (char c : serial) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        safe += ok ? c : '_';
    }
    return safe;
}

}  // namespace

std::string CodeplugBackup::DefaultFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (Absolute(data)) {
        return std::string(data) + "/quillon/backups";
    }
    const char* home = std::getenv("HOME");
    if (Absolute(home)) {
        return std::string(home) + "/.local/share/quillon/backups";
    }
    return {};
}

std::string CodeplugBackup::FileName(const std::string& serial, std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    return "codeplug-" + SafeSerial(serial) + "-" + stamp + ".bin";
}

bool CodeplugBackup::Ready(std::string& error) const {
    if (folder_.empty()) {
        error = "no folder for backups (neither XDG_DATA_HOME nor HOME is set)";
        return false;
    }
    if (!MakeFolders(folder_, error)) {
        return false;
    }
    std::string probe = folder_ + "/.codeplug-check-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        error = "cannot create a file in " + folder_ + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

bool CodeplugBackup::Save(const uint8_t* bytes, std::size_t length, const std::string& serial,
                          std::string& path, std::string& error) const {
    if (folder_.empty()) {
        error = "no folder for backups (neither XDG_DATA_HOME nor HOME is set)";
        return false;
    }
    if (!MakeFolders(folder_, error)) {
        return false;
    }
    const std::string base = FileName(serial, std::time(nullptr));
    const std::string stem = base.substr(0, base.size() - 4);
    // Two backups in the same second get a counter rather than replacing each other.
    int fd = -1;
    for (int n = 0; n < 1000 && fd < 0; ++n) {
        path = folder_ + "/" + (n == 0 ? base : stem + "-" + std::to_string(n) + ".bin");
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) {
            error = "cannot create " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    if (fd < 0) {
        error = "too many backups named " + base;
        return false;
    }
    bool ok = WriteAll(fd, bytes, length) && ::fsync(fd) == 0;
    if (!ok) {
        error = "cannot write " + path + ": " + std::strerror(errno);
    }
    if (::close(fd) != 0 && ok) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(path.c_str());  // only a partial file of our own making
    }
    return ok;
}

}  // namespace quillon
