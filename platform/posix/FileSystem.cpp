#include "platform/FileSystem.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quillon {

namespace {

// What a file that is no regular file is, for messages.
const char* KindOf(mode_t mode) {
    return S_ISDIR(mode)                    ? "a folder"
           : S_ISFIFO(mode)                 ? "a FIFO"
           : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
           : S_ISSOCK(mode)                 ? "a socket"
                                            : "not a regular file";
}

}  // namespace

std::string FileSystem::LastErrorText() {
    return std::strerror(errno);
}

bool FileSystem::MakeFolders(const std::string& folder, std::string& error) {
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

bool FileSystem::Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool FileSystem::IsRegularFile(const std::string& path, uint64_t* size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    if (size != nullptr) {
        *size = static_cast<uint64_t>(st.st_size);
    }
    return true;
}

void FileSystem::Remove(const std::string& path) {
    ::unlink(path.c_str());
}

bool FileSystem::Replace(const std::string& from, const std::string& to, std::string& error) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool FileSystem::ReplacementTarget(const std::string& path, std::string& target, uint32_t& mode,
                                   std::string& error) {
    // Follows symbolic links to the name that is finally replaced (which need not exist yet).
    target = path;
    int hops = 0;
    for (;; ++hops) {
        struct stat st {};
        if (hops == 40) {
            error = "cannot write " + path + ": too many symbolic links";
            return false;
        }
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            break;
        }
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) {
            error = "cannot follow the link " + target + ": " + std::strerror(errno);
            return false;
        }
        const std::string next(link.data(), static_cast<std::size_t>(n));
        const auto slash = target.rfind('/');
        target = next.front() == '/' || slash == std::string::npos
                     ? next
                     : target.substr(0, slash + 1) + next;
    }
    // The mode the written file gets: the existing file's, or 0666 less the umask for a new one.
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
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
    return true;
}

FileSystem::ReadResult FileSystem::ReadRegularFile(const std::string& path, std::size_t limit,
                                                   std::vector<uint8_t>& bytes,
                                                   std::string& detail) {
    // Non-blocking, so that a FIFO or a terminal cannot hold the open; only a regular file is
    // read, and reads of a regular file never block.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        detail = std::strerror(errno);
        return ReadResult::CannotOpen;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        detail = std::strerror(errno);
        ::close(fd);
        return ReadResult::CannotRead;
    }
    if (!S_ISREG(st.st_mode)) {
        detail = KindOf(st.st_mode);
        ::close(fd);
        return ReadResult::NotRegular;
    }
    bytes.resize(limit);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            detail = std::strerror(errno);
            ::close(fd);
            return ReadResult::CannotRead;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return ReadResult::Ok;
}

std::string FileSystem::MakeUniqueFolder(const std::string& stem) {
    std::string pattern = stem + "-XXXXXX";
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

bool FileSystem::Append(const std::string& path, const std::string& bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = LastErrorText();
        return false;
    }
    ssize_t written = 0;
    do {
        written = ::write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    const std::string writeError = written < 0 ? LastErrorText() : std::string();
    const bool closed = ::close(fd) == 0;
    if (written != static_cast<ssize_t>(bytes.size())) {
        error = written < 0 ? writeError : "the write was cut short (disk full?)";
        return false;
    }
    if (!closed) {
        error = LastErrorText();
        return false;
    }
    return true;
}

std::FILE* FileSystem::OpenForAppending(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "a");
    if (file == nullptr) {
        error = LastErrorText();
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return file;
}

}  // namespace quillon
