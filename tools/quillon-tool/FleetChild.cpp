#include "tools/quillon-tool/FleetChild.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace quillon::tool {
namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

}  // namespace

FleetChild::~FleetChild() {
    if (pid_ > 0) {
        // Only on a path that left a program running: end it rather than leave it behind.
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (out_ >= 0) {
        ::close(out_);
    }
    if (end_ >= 0) {
        ::close(end_);
    }
}

bool FleetChild::Start(const std::vector<std::string>& args,
                       const std::vector<std::string>& environment, const std::string& folder,
                       std::string& error) {
    for (int* fd : {&out_, &end_}) {  // those of a program run before
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) {
        bool replaced = false;
        for (const std::string& entry : environment) {
            replaced = replaced || NameOf(entry) == NameOf(*e);
        }
        if (!replaced) {
            envText.emplace_back(*e);
        }
    }
    envText.insert(envText.end(), environment.begin(), environment.end());
    std::vector<std::string> argText = args;
    std::vector<char*> argv = Pointers(argText);
    std::vector<char*> envp = Pointers(envText);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    if (!folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    // The fleet's own handlers do not carry over; the program starts with the default ones.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        sigaddset(&defaults, s);
    }
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    const int spawned =
        ::posix_spawn(&pid_, argText[0].c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        pid_ = -1;
        error = "cannot start " + argText[0] + ": " + std::strerror(spawned);
        return false;
    }
    out_ = pipeFds[0];
    ::fcntl(out_, F_SETFL, ::fcntl(out_, F_GETFL) | O_NONBLOCK);
    end_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (end_ < 0) {
        error = std::string("cannot watch the program's end: ") + std::strerror(errno);
        return false;  // the destructor ends it
    }
    return true;
}

void FleetChild::ReadOutput(std::string& into) {
    char buffer[4096];
    while (out_ >= 0) {
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            return;
        }
        ::close(out_);
        out_ = -1;
    }
}

int FleetChild::Reap(std::string& output) {
    int status = 0;
    pid_t ended = -1;
    while ((ended = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
    }
    // Its write end is closed now: what is left in the pipe is the rest of its output.
    ReadOutput(output);
    pid_ = -1;
    if (ended < 0) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void FleetChild::Signal(int signal) const {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

}  // namespace quillon::tool
