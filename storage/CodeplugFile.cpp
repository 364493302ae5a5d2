#include "storage/CodeplugFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "serial/posix/WriteAll.h"

namespace quillon {
namespace {

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Follows symbolic links from `path` to the name that is finally replaced (which need not
// exist yet). False, with `error` set, for a loop of links or an unreadable link.
bool ResolveLinks(const std::string& path, std::string& target, std::string& error) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return true;
        }
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) {
            error = SystemError("cannot follow the link", target);
            return false;
        }
        const std::string next(link.data(), static_cast<std::size_t>(n));
        const auto slash = target.rfind('/');
        target = next.front() == '/' || slash == std::string::npos
                     ? next
                     : target.substr(0, slash + 1) + next;
    }
    error = "cannot write " + path + ": too many symbolic links";
    return false;
}

// What a file that is no regular file is, for messages.
const char* KindOf(mode_t mode) {
    return S_ISDIR(mode)                    ? "a folder"
           : S_ISFIFO(mode)                 ? "a FIFO"
           : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
           : S_ISSOCK(mode)                 ? "a socket"
                                            : "not a regular file";
}

// The mode the written file gets: the existing file's, or 0666 less the umask for a new one.
// False, with `error` set, when `target` exists and is not a regular file.
bool ModeFor(const std::string& target, const std::string& path, mode_t& mode, std::string& error) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            error = "cannot write " + path + ": it is " + KindOf(st.st_mode) +
                    "; a codeplug is written only to a regular file";
            return false;
        }
        mode = st.st_mode & 07777;
        return true;
    }
    if (errno != ENOENT) {
        error = SystemError("cannot write", path);
        return false;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
    return true;
}

}  // namespace

bool CodeplugFile::Read(const std::string& path, std::string& error) {
    // Non-blocking, so that a FIFO or a terminal cannot hold the open; only a regular file is
    // read, and reads of a regular file never block.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = SystemError("cannot open", path);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = SystemError("cannot read", path);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "cannot read " + path + ": it is " + KindOf(st.st_mode) +
                "; a codeplug is read only from a regular file";
        ::close(fd);
        return false;
    }
    // Read one byte more than an image holds, to tell a full image from a larger file.
    std::vector<uint8_t> bytes(kMaxBytes + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = SystemError("cannot read", path);
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got > kMaxBytes) {
        error = path + " is larger than a codeplug image (at most 65536 bytes)";
        return false;
    }
    m_Image.fill(0);
    for (std::size_t i = 0; i < got; ++i) {
        const unsigned shift = i % 2 == 0 ? 8 : 0;
        m_Image[i / 2] = static_cast<uint16_t>(m_Image[i / 2] | (bytes[i] << shift));
    }
    m_ByteLength = got;
    return true;
}

bool CodeplugFile::Write(const std::string& path, std::size_t byteCount, std::string& error) const {
    if (byteCount > kMaxBytes) {
        error = "cannot write " + std::to_string(byteCount) + " bytes: an image holds at most " +
                std::to_string(kMaxBytes);
        return false;
    }
    std::vector<uint8_t> bytes(byteCount);
    for (std::size_t i = 0; i < byteCount; ++i) {
        const uint16_t word = m_Image[i / 2];
        bytes[i] = static_cast<uint8_t>(i % 2 == 0 ? word >> 8 : word & 0xFF);
    }

    std::string target;
    mode_t mode = 0;
    if (!ResolveLinks(path, target, error) || !ModeFor(target, path, mode, error)) {
        return false;
    }

    std::string temp = target + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = SystemError("cannot create a temporary file for", path);
        return false;
    }
    temp = name.data();
    bool ok =
        ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    if (!ok) {
        error = SystemError("cannot write", temp);
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = SystemError("cannot write", temp);
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = SystemError("cannot replace", path);
    }
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

bool CodeplugFile::CheckWritable(const std::string& path, std::string& error) {
    std::string target;
    mode_t mode = 0;
    if (path.empty()) {
        error = "cannot write a codeplug to an empty file name";
        return false;
    }
    if (!ResolveLinks(path, target, error) || !ModeFor(target, path, mode, error)) {
        return false;
    }
    const auto slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        error = "cannot write " + path + ": the folder " + folder +
                (errno == ENOENT ? " does not exist" : std::string(": ") + std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = "cannot write " + path + ": " + folder + " is not a folder";
        return false;
    }
    // The same temporary file Write makes, so the check fails exactly where Write would.
    std::string temp = target + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = "cannot write " + path + ": no file can be created in " + folder + " (" +
                std::strerror(errno) + ")";
        return false;
    }
    ::close(fd);
    ::unlink(name.data());
    return true;
}

}  // namespace quillon
