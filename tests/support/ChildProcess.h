#pragma once

// Runs a program of the build as a child process and collects what it wrote: the one way the
// tests start the updater, the tool and other programs and wait for their end.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace quillon::test {

struct ProgramCall {
    std::string program;
    std::vector<std::string> args;
    std::string folder;  // working folder; empty: the test's own
    // On top of the test's own environment: "NAME=value" sets NAME, a bare "NAME" removes it.
    std::vector<std::string> environment;
    int timeoutMs = 60000;
    // When `signal` is set it is sent once: as soon as standard output holds `signalAfter` (when
    // that is not empty), else `signalAfterMs` after the start. `secondSignal` follows at once.
    int signal = 0;
    int secondSignal = 0;
    std::string signalAfter;
    int signalAfterMs = 0;
};

struct ProgramRun {
    int exitCode = -1;      // 128 + the signal when one ended it; -1 when it did not start or end
    bool timedOut = false;  // killed after timeoutMs
    std::string out;
    std::string err;
    double seconds = 0;   // from start to end
    long msToEnd = -1;    // from the signal to the end, when one was sent
    bool killed = false;  // ended by a signal rather than on its own
};

// A call of `program` with `args` and everything else as ProgramCall has it.
inline ProgramCall Program(std::string program, std::vector<std::string> args) {
    ProgramCall call;
    call.program = std::move(program);
    call.args = std::move(args);
    return call;
}

namespace child_detail {

inline std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

inline std::vector<std::string> Environment(const std::vector<std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        bool changed = false;
        for (const std::string& change : changes) {
            changed = changed || NameOf(change) == NameOf(*e);
        }
        if (!changed) {
            env.emplace_back(*e);
        }
    }
    for (const std::string& change : changes) {
        if (change.find('=') != std::string::npos) {
            env.push_back(change);
        }
    }
    return env;
}

// Pointers for exec: the strings themselves, then a null pointer.
inline std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace child_detail

// Starts `call.program` (without waiting for it) with standard input empty and its standard
// output and standard error on `outFd` and `errFd`; the process id, or -1 with `error` set.
inline pid_t StartProgram(const ProgramCall& call, int outFd, int errFd, std::string& error) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    if (!call.folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, call.folder.c_str());
    }
    std::vector<std::string> argText{call.program};
    argText.insert(argText.end(), call.args.begin(), call.args.end());
    std::vector<std::string> envText = child_detail::Environment(call.environment);
    std::vector<char*> argv = child_detail::Pointers(argText);
    std::vector<char*> envp = child_detail::Pointers(envText);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, call.program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = "cannot start " + call.program + ": " + std::strerror(spawned);
        return -1;
    }
    return pid;
}

// The exit code of a wait status: the code the program gave, or 128 + the signal that ended it.
inline int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs `call.program` (see StartProgram) and waits for its end, reading its standard output and
// standard error as they come; after `call.timeoutMs` it is killed.
inline ProgramRun RunProgram(const ProgramCall& call) {
    ProgramRun run;
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) {
        run.err = "pipe failed";
        return run;
    }
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        run.err = "pipe failed";
        return run;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = StartProgram(call, outPipe[1], errPipe[1], run.err);
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return run;
    }
    const auto deadline = start + std::chrono::milliseconds(call.timeoutMs);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    std::chrono::steady_clock::time_point signalled{};
    const auto signalAt = start + std::chrono::milliseconds(call.signalAfterMs);
    const auto sendSignal = [&] {
        if (call.signal == 0 || signalled != decltype(signalled){}) {
            return;
        }
        const bool due = call.signalAfter.empty()
                             ? std::chrono::steady_clock::now() >= signalAt
                             : run.out.find(call.signalAfter) != std::string::npos;
        if (due) {
            kill(pid, call.signal);
            if (call.secondSignal != 0) {
                kill(pid, call.secondSignal);
            }
            signalled = std::chrono::steady_clock::now();
        }
    };
    while (open > 0) {
        sendSignal();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            run.timedOut = true;
            break;
        }
        if (call.signal != 0 && call.signalAfter.empty() && signalled == decltype(signalled){}) {
            const auto untilSignal = std::chrono::duration_cast<std::chrono::milliseconds>(
                                         signalAt - std::chrono::steady_clock::now())
                                         .count();
            left = std::max<long long>(0, std::min<long long>(left, untilSignal));
        }
        if (poll(fds, 2, static_cast<int>(left)) < 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents != 0) {
                char buffer[4096];
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    sinks[i]->append(buffer, static_cast<size_t>(n));
                } else {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
    }
    if (run.timedOut) {
        kill(pid, SIGKILL);
    }
    for (pollfd& fd : fds) {
        if (fd.fd >= 0) {
            close(fd.fd);
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const auto end = std::chrono::steady_clock::now();
    run.seconds = std::chrono::duration<double>(end - start).count();
    if (!run.timedOut) {
        run.exitCode = ExitCodeOf(status);
        run.killed = WIFSIGNALED(status);
    }
    if (signalled != decltype(signalled){}) {
        run.msToEnd = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - signalled).count());
    }
    return run;
}

}  // namespace quillon::test
