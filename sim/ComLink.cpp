#include "sim/ComLink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace quillon::sim {

namespace fs = std::filesystem;

namespace {

// A record lock on the whole file, so that F_GETLK names the process that holds it.
struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

// Takes the lock on `lockPath` for this process, made when missing. Returns its descriptor, or
// -1 with `holder` set to the live owner's process id (or `error` when that cannot be told). A
// lock file removed by its last owner between our open and our lock is opened again, so two
// radios never both hold a lock on different files of one name.
int TakeLock(const std::string& lockPath, pid_t& holder, std::string& error) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            error = "cannot open " + lockPath + ": " + std::strerror(errno);
            return -1;
        }
        struct flock lock = WholeFile(F_WRLCK);
        if (::fcntl(fd, F_SETLK, &lock) != 0) {
            const int cause = errno;
            struct flock probe = WholeFile(F_WRLCK);
            const bool known = ::fcntl(fd, F_GETLK, &probe) == 0;
            ::close(fd);
            if (cause != EACCES && cause != EAGAIN) {
                error = "cannot lock " + lockPath + ": " + std::strerror(cause);
                return -1;
            }
            if (known && probe.l_type != F_UNLCK) {
                holder = probe.l_pid;
                return -1;
            }
            continue;  // the owner left in the meantime
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(lockPath.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            // The process id in the file is for people; the lock itself tells it to programs.
            const std::string pid = std::to_string(::getpid()) + "\n";
            [[maybe_unused]] const bool noted =
                ::ftruncate(fd, 0) == 0 && ::write(fd, pid.data(), pid.size()) > 0;
            return fd;
        }
        ::close(fd);
    }
    error = "cannot lock " + lockPath + ": it keeps being replaced";
    return -1;
}

}  // namespace

std::unique_ptr<ComLink> ComLink::Publish(const std::string& dir, int comNumber,
                                          const std::string& target, std::string& error) {
    if (comNumber < 1 || comNumber > 255) {
        error = "the COM number must be between 1 and 255";
        return nullptr;
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = "cannot create " + dir + ": " + ec.message();
        return nullptr;
    }
    const fs::path path = fs::path(dir) / ("com" + std::to_string(comNumber));
    const std::string lockPath = path.string() + ".lock";
    pid_t holder = 0;
    const int lockFd = TakeLock(lockPath, holder, error);
    if (lockFd < 0) {
        if (holder != 0) {
            const fs::path linked = fs::read_symlink(path, ec);
            error = "COM " + std::to_string(comNumber) + " (" + path.string() +
                    (ec ? std::string() : " -> " + linked.string()) +
                    ") is published by the virtual radio with process id " +
                    std::to_string(holder) + "; stop it or choose another --com";
        }
        return nullptr;
    }
    // From here on the name is ours: whatever link is there was left by a radio that is gone.
    auto fail = [&](const std::string& text) {
        error = text;
        ::unlink(lockPath.c_str());
        ::close(lockFd);
        return nullptr;
    };
    const fs::file_status status = fs::symlink_status(path, ec);
    if (fs::exists(status) && !fs::is_symlink(status)) {
        return fail(path.string() + " exists and is not a symbolic link; not replaced");
    }
    // Made under a temporary name and renamed over the old link, so the name never dangles.
    const fs::path temporary = path.string() + ".new" + std::to_string(getpid());
    fs::remove(temporary, ec);
    fs::create_symlink(target, temporary, ec);
    if (!ec) {
        fs::rename(temporary, path, ec);
    }
    if (ec) {
        const std::string text =
            "cannot link " + path.string() + " to " + target + ": " + ec.message();
        fs::remove(temporary, ec);
        return fail(text);
    }
    return std::unique_ptr<ComLink>(new ComLink(path.string(), target, lockFd));
}

ComLink::~ComLink() {
    // Only our own link: someone may have put something else there by hand.
    std::error_code ec;
    const fs::path linked = fs::read_symlink(path_, ec);
    if (!ec && linked == fs::path(target_)) {
        fs::remove(path_, ec);
    }
    // Removed while still held: a radio that opened it meanwhile finds it gone and opens anew.
    ::unlink((path_ + ".lock").c_str());
    ::close(lockFd_);
}

}  // namespace quillon::sim
