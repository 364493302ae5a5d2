#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "serial/posix/PosixSerialLine.h"
#include "tests/serial/support/PtyPair.h"
#include "tests/serial/support/TempComDir.h"

namespace quillon {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

ToolRun RunTool(const std::string& arguments, const std::string& prefix = "") {
    const std::string command =
        prefix + std::string(QUILLON_BINARY_DIR "/tools/quillon-tool ") + arguments;
    ToolRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[512];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(PortsCommandTest, ListsPublishedPortsWithTheirDevicesAndMarksHeldOnes) {
    test::TempComDir dir;
    test::PtyPair free;
    test::PtyPair held;
    dir.Link(205, free.SlavePath());
    dir.Link(212, held.SlavePath());
    dir.Link(213, dir.Path() + "/gone");

    PosixSerialLine holder;
    ASSERT_EQ(holder.Open(dir.EntryPath(212), {}).reason, OpenFailure::Reason::None);

    const ToolRun run = RunTool("ports");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("COM205  " + free.SlavePath() + "\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("COM212  " + held.SlavePath() + "  in use\n"), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("COM213"), std::string::npos) << run.output;
    EXPECT_LT(run.output.find("COM205"), run.output.find("COM212"));

    // Listing takes no lock that outlives it: the free port still opens.
    PosixSerialLine after;
    EXPECT_EQ(after.Open(dir.EntryPath(205), {}).reason, OpenFailure::Reason::None);
}

TEST(PortsCommandTest, PortsThisUserMayNotOpenAreListedAsNoAccess) {
    if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "needs root and setpriv to run the tool as an unprivileged user";
    }
    test::TempComDir dir;
    test::PtyPair denied;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(denied.SlavePath().c_str(), 0660), 0);
    dir.Link(207, denied.SlavePath());

    const ToolRun run =
        RunTool("ports", "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups ");
    if (run.exitCode == 126 || run.exitCode == 127) {
        GTEST_SKIP() << "the tool cannot run as nobody here";
    }
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("COM207  " + denied.SlavePath() + "  no access (group "),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("sudo usermod -aG "), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("No COM ports found."), std::string::npos) << run.output;
}

TEST(PortsCommandTest, UnknownOptionIsAUsageError) {
    const ToolRun run = RunTool("ports --bogus 2>/dev/null");
    EXPECT_EQ(run.exitCode, 2);
}

}  // namespace
}  // namespace quillon
