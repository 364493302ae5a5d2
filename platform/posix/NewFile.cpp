#include "platform/NewFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace quillon {

NewFile::~NewFile() {
    if (handle_ >= 0) {
        Discard();
    }
}

void NewFile::Fail() {
    failed_ = true;
    error_ = std::strerror(errno);
}

NewFile::Result NewFile::Create(const std::string& path, bool privateFile) {
    path_.clear();  // never the path of a file that was there before
    failed_ = false;
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, privateFile ? 0600 : 0644);
    if (fd < 0) {
        const bool exists = errno == EEXIST;
        Fail();
        return exists ? Result::Exists : Result::Failed;
    }
    handle_ = fd;
    path_ = path;
    return Result::Created;
}

bool NewFile::CreateBeside(const std::string& target, uint32_t mode) {
    std::vector<char> name(target.begin(), target.end());
    const char suffix[] = ".XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    failed_ = false;
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        Fail();
        return false;
    }
    path_ = name.data();
    handle_ = fd;
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
        Fail();
    }
    return true;
}

bool NewFile::Write(const void* data, std::size_t size) {
    if (handle_ < 0 || failed_) {
        return false;
    }
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(static_cast<int>(handle_), next, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;  // a write that took no byte
            }
            Fail();
            return false;
        }
        next += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool NewFile::Finish(bool sync) {
    if (handle_ < 0) {
        return false;
    }
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
    if (sync && !failed_ && ::fsync(fd) != 0) {
        Fail();
    }
    // A failed close can mean the last writes never reached the disk.
    if (::close(fd) != 0 && !failed_) {
        Fail();
    }
    return !failed_;
}

void NewFile::Discard() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
    if (!path_.empty()) {
        ::unlink(path_.c_str());  // only a file of our own making
    }
}

}  // namespace quillon
