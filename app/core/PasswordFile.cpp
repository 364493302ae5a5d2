#include "app/core/PasswordFile.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/core/PasswordEntry.h"
#include "platform/FileSystem.h"

namespace quillon {

namespace {

constexpr std::size_t kMostBytes = 256;  // a password line is short; the rest is not read

#ifndef _WIN32
std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}
#endif

}  // namespace

std::optional<std::string> PasswordFile::Read(const std::string& path, std::string& error) {
    const std::string name = std::string(kVariable) + "=" + path;
#ifdef _WIN32
    // A user's files on Windows are kept from others by the folder's access list, not by bits
    // on the file: the file is read as it is.
    std::vector<uint8_t> read;
    std::string detail;
    switch (FileSystem::ReadRegularFile(path, kMostBytes, read, detail)) {
        case FileSystem::ReadResult::Ok:
            break;
        case FileSystem::ReadResult::NotRegular:
            error = name + ": not a regular file";
            return std::nullopt;
        default:
            error = name + ": " + detail;
            return std::nullopt;
    }
    std::array<char, kMostBytes> bytes{};
    std::copy(read.begin(), read.end(), bytes.begin());
    const auto count = static_cast<std::ptrdiff_t>(read.size());
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = name + ": " + std::strerror(errno);
        return std::nullopt;
    }
    // The checks are made on the file opened, so it cannot be swapped between check and read.
    struct stat info {};
    std::array<char, kMostBytes> bytes{};
    ssize_t count = -1;
    if (::fstat(fd, &info) != 0) {
        error = name + ": " + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        error = name + ": not a regular file";
    } else if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        error = name + ": the file may be read by others than its owner (mode " +
                ModeText(info.st_mode) + "); it is not used. Make it private with: chmod 600 " +
                path;
    } else {
        do {
            count = ::read(fd, bytes.data(), bytes.size());
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            error = name + ": " + std::strerror(errno);
        }
    }
    ::close(fd);
    if (count < 0) {
        return std::nullopt;
    }
#endif
    std::string text(bytes.data(), static_cast<std::size_t>(count));
    text = PasswordEntry::Trim(text.substr(0, text.find('\n')));
    if (text.empty()) {
        error = name + ": the first line holds no password";
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> PasswordFile::FromEnvironment(std::string& error) {
    const char* path = std::getenv(kVariable);
    if (path == nullptr || path[0] == '\0') {
        return std::nullopt;
    }
    return Read(path, error);
}

}  // namespace quillon
