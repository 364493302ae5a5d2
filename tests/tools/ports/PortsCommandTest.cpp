#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "serial/posix/KVTWinExtSerialPort.h"
#include "tests/serial/support/PtyPair.h"
#include "tests/serial/support/TempComDir.h"

namespace quillon {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

ToolRun RunTool(const std::string& arguments) {
    const std::string command = std::string(QUILLON_BINARY_DIR "/tools/quillon-tool ") + arguments;
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

    KVTWinExtSerialPort holder;
    holder.SetPortName(dir.EntryPath(212));
    ASSERT_TRUE(holder.Open());

    const ToolRun run = RunTool("ports");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("COM205  " + free.SlavePath() + "\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("COM212  " + held.SlavePath() + "  in use\n"), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("COM213"), std::string::npos) << run.output;
    EXPECT_LT(run.output.find("COM205"), run.output.find("COM212"));

    // Listing takes no lock that outlives it: the free port still opens.
    KVTWinExtSerialPort after;
    after.SetPortName(dir.EntryPath(205));
    EXPECT_TRUE(after.Open());
}

TEST(PortsCommandTest, UnknownOptionIsAUsageError) {
    const ToolRun run = RunTool("ports --bogus 2>/dev/null");
    EXPECT_EQ(run.exitCode, 2);
}

}  // namespace
}  // namespace quillon
