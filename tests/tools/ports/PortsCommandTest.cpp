#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "serial/posix/PosixSerialLine.h"
#include "tests/serial/support/PtyPair.h"
#include "tests/serial/support/TempComDir.h"
#include "tests/support/ChildProcess.h"

namespace quillon {
namespace {

// Runs quillon-tool with `args`, through `prefix` (a program and its arguments) when given.
test::ProgramRun RunTool(const std::vector<std::string>& args,
                         std::vector<std::string> prefix = {}) {
    prefix.push_back(QUILLON_BINARY_DIR "/tools/quillon-tool");
    prefix.insert(prefix.end(), args.begin(), args.end());
    const std::string program = prefix.front();
    prefix.erase(prefix.begin());
    return test::RunProgram(test::Program(program, prefix));
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

    const test::ProgramRun run = RunTool({"ports"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("COM205  " + free.SlavePath() + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("COM212  " + held.SlavePath() + "  in use\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("COM213"), std::string::npos) << run.out;
    EXPECT_LT(run.out.find("COM205"), run.out.find("COM212"));

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

    const test::ProgramRun run = RunTool(
        {"ports"}, {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    if (run.exitCode == 126 || run.exitCode == 127) {
        GTEST_SKIP() << "the tool cannot run as nobody here";
    }
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("COM207  " + denied.SlavePath() + "  no access (group "),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("sudo usermod -aG "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("No COM ports found."), std::string::npos) << run.out;
}

TEST(PortsCommandTest, UnknownOptionIsAUsageError) {
    const test::ProgramRun run = RunTool({"ports", "--bogus"});
    EXPECT_EQ(run.exitCode, 2);
}

}  // namespace
}  // namespace quillon
