// Why a serial line does not open, told from real devices: a path with nothing at it, a file
// that is no terminal, a pseudo-terminal another open holds, and one this user may not open.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "serial/ComPortPath.h"
#include "serial/DeviceAccess.h"
#include "serial/OpenFailure.h"
#include "serial/posix/PosixSerialLine.h"
#include "tests/serial/support/PtyPair.h"
#include "tests/serial/support/TempComDir.h"

namespace quillon::test {
namespace {

using Reason = OpenFailure::Reason;

constexpr uid_t kNobody = 65534;

// Runs `check` in a child that has given up root for `nobody`; returns the child's verdict, or
// -1 when the privileges could not be dropped (the caller skips).
int AsNobody(const std::function<bool()>& check) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0) {
            ::_exit(3);
        }
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status) == 3 ? -1 : WEXITSTATUS(status);
}

TEST(OpenFailure, EachReasonFromARealDevice) {
    TempComDir dir;
    PtyPair free;
    PtyPair held;
    PosixSerialLine holder;
    ASSERT_EQ(holder.Open(held.SlavePath(), {}).reason, Reason::None);
    const std::string plainFile = dir.Path() + "/plain";
    std::ofstream(plainFile) << "not a tty";

    struct Case {
        const char* name;
        std::string path;
        Reason reason;
        std::string explanation;
    };
    const Case cases[] = {
        {"nothing at the path", dir.Path() + "/missing", Reason::NoSuchDevice, "does not exist"},
        {"a plain file", plainFile, Reason::NotATerminal, "not a serial device (a plain file)"},
        {"a folder", dir.Path(), Reason::NotATerminal, "not a serial device (a folder)"},
        {"a pty another open holds", held.SlavePath(), Reason::InUse, "in use by another program"},
        {"empty path", "", Reason::NoSuchDevice, "does not exist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PosixSerialLine line;
        const OpenFailure failure = line.Open(c.path, {});
        EXPECT_FALSE(line.IsOpen());
        EXPECT_EQ(failure.reason, c.reason);
        EXPECT_EQ(failure.devicePath, c.path);
        EXPECT_NE(failure.Describe().find(OpenFailure::ReasonName(c.reason)), std::string::npos);
        EXPECT_EQ(failure.Explanation(), c.explanation);
    }

    // A device that opens reports no failure.
    PosixSerialLine line;
    EXPECT_EQ(line.Open(free.SlavePath(), {}).reason, Reason::None);
    EXPECT_TRUE(line.IsOpen());
}

TEST(OpenFailure, PermissionDeniedNamesTheDevicesGroupAndTheFix) {
    PtyPair pty;
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0660), 0);
    const std::string group = DeviceAccess::GroupOf(pty.SlavePath());
    ASSERT_FALSE(group.empty());

    const std::string path = pty.SlavePath();
    const auto deniedWithFix = [&] {
        PosixSerialLine line;
        const OpenFailure failure = line.Open(path, {});
        const std::string text = failure.Describe();
        return failure.reason == Reason::PermissionDenied && failure.group == group &&
               text.find("sudo usermod -aG " + group + " $USER") != std::string::npos &&
               text.rfind(path + ": permission denied", 0) == 0 &&
               ComPortPath::ProbePath(path) == ComPortPath::State::NoAccess;
    };
    if (::geteuid() != 0) {
        if (::access(path.c_str(), R_OK | W_OK) == 0) {
            GTEST_SKIP() << "this user may open the test's own pseudo-terminal";
        }
        EXPECT_TRUE(deniedWithFix());
        return;
    }
    const int verdict = AsNobody(deniedWithFix);
    if (verdict < 0) {
        GTEST_SKIP() << "cannot drop privileges here";
    }
    EXPECT_EQ(verdict, 0) << "an unprivileged open of " << path << " did not say why";
}

// A program that ignores advisory locks still cannot open a line that is open here, and can once
// it is closed.
TEST(OpenFailure, AnOpenLineIsExclusiveEvenWithoutLocks) {
    PtyPair pty;
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0666), 0);
    const std::string path = pty.SlavePath();
    const auto opens = [&path] {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        }
        return fd >= 0;
    };
    // The superuser passes an exclusive terminal; an ordinary user does not.
    const auto asUser = [&](const std::function<bool()>& check) {
        return ::geteuid() == 0 ? AsNobody(check) : (check() ? 0 : 1);
    };
    PosixSerialLine line;
    ASSERT_EQ(line.Open(path, {}).reason, Reason::None);
    const int whileOpen = asUser([&] { return !opens() && errno == EBUSY; });
    if (whileOpen < 0) {
        GTEST_SKIP() << "cannot drop privileges here";
    }
    EXPECT_EQ(whileOpen, 0) << "another program opened the line while it was open";
    line.Close();
    EXPECT_EQ(asUser(opens), 0) << "closing did not give the line back";
}

}  // namespace
}  // namespace quillon::test
