#include "serial/ComPortPath.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "serial/posix/PosixSerialLine.h"
#include "tests/serial/support/PtyPair.h"
#include "tests/serial/support/TempComDir.h"

namespace quillon {
namespace {

using test::PtyPair;
using test::TempComDir;

TEST(ComPortPathTest, DefaultTableCoversSerialUsbAndAcmDevices) {
    EXPECT_EQ(ComPortPath::DefaultDevice(1), "/dev/ttyS0");
    EXPECT_EQ(ComPortPath::DefaultDevice(32), "/dev/ttyS31");
    EXPECT_EQ(ComPortPath::DefaultDevice(33), "/dev/ttyUSB0");
    EXPECT_EQ(ComPortPath::DefaultDevice(96), "/dev/ttyUSB63");
    EXPECT_EQ(ComPortPath::DefaultDevice(97), "/dev/ttyACM0");
    EXPECT_EQ(ComPortPath::DefaultDevice(160), "/dev/ttyACM63");
    EXPECT_EQ(ComPortPath::DefaultDevice(161), "");
    EXPECT_EQ(ComPortPath::DefaultDevice(0), "");
    EXPECT_EQ(ComPortPath::DefaultDevice(-3), "");
}

TEST(ComPortPathTest, DirectoryEntryComesBeforeTheDefaultTable) {
    TempComDir dir;
    PtyPair pty;
    dir.Link(5, pty.SlavePath());
    EXPECT_EQ(ComPortPath::Resolve(5), dir.EntryPath(5));
    // No entry: the default device of the number.
    EXPECT_EQ(ComPortPath::Resolve(6), "/dev/ttyS5");
    // Numbers beyond the default table exist only through the directory.
    EXPECT_EQ(ComPortPath::Resolve(200), "");
    dir.Link(200, pty.SlavePath());
    EXPECT_EQ(ComPortPath::Resolve(200), dir.EntryPath(200));
    // Outside 1..255 nothing resolves, even with an entry.
    dir.Link(256, pty.SlavePath());
    EXPECT_EQ(ComPortPath::Resolve(256), "");
    EXPECT_EQ(ComPortPath::Resolve(0), "");
}

TEST(ComPortPathTest, ALinkToNothingDoesNotFallBackToTheDefaultDevice) {
    TempComDir dir;
    dir.Link(3, dir.Path() + "/gone");
    EXPECT_EQ(ComPortPath::Resolve(3), dir.EntryPath(3));
    EXPECT_EQ(ComPortPath::Probe(3), ComPortPath::State::Absent);
}

TEST(ComPortPathTest, EmptyVariableMeansNoDirectory) {
    TempComDir dir;
    ::setenv("QUILLON_COM_DIR", "", 1);
    EXPECT_EQ(ComPortPath::Resolve(2), "/dev/ttyS1");
}

TEST(ComPortPathTest, ProbeTellsPresentInUseAndAbsent) {
    TempComDir dir;
    PtyPair pty;
    dir.Link(4, pty.SlavePath());
    EXPECT_EQ(ComPortPath::Probe(4), ComPortPath::State::Present);
    // Probing takes no lasting lock: the port still opens afterwards.
    PosixSerialLine port;
    ASSERT_EQ(port.Open(dir.EntryPath(4), {}).reason, OpenFailure::Reason::None);
    EXPECT_EQ(ComPortPath::Probe(4), ComPortPath::State::InUse);
    port.Close();
    EXPECT_EQ(ComPortPath::Probe(4), ComPortPath::State::Present);

    // Something that is not a terminal is no port.
    const std::string file = dir.Path() + "/plain";
    std::ofstream(file) << "x";
    dir.Link(8, file);
    EXPECT_EQ(ComPortPath::Probe(8), ComPortPath::State::Absent);
    EXPECT_EQ(ComPortPath::ProbePath(""), ComPortPath::State::Absent);
}

TEST(ComPortPathTest, EnumerationListsPublishedPortsWithTheirDevices) {
    TempComDir dir;
    PtyPair first;
    PtyPair second;
    dir.Link(201, first.SlavePath());
    dir.Link(250, second.SlavePath());
    dir.Link(251, dir.Path() + "/gone");

    PosixSerialLine holder;
    ASSERT_EQ(holder.Open(second.SlavePath(), {}).reason, OpenFailure::Reason::None);

    const auto ports = ComPortPath::Enumerate();
    auto find = [&](int n) {
        return std::find_if(ports.begin(), ports.end(),
                            [n](const auto& p) { return p.number == n; });
    };
    ASSERT_NE(find(201), ports.end());
    EXPECT_EQ(find(201)->devicePath, first.SlavePath());
    EXPECT_EQ(find(201)->path, dir.EntryPath(201));
    EXPECT_FALSE(find(201)->inUse);
    ASSERT_NE(find(250), ports.end());
    EXPECT_TRUE(find(250)->inUse);
    EXPECT_EQ(find(251), ports.end());
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(),
                               [](const auto& a, const auto& b) { return a.number < b.number; }));
}

}  // namespace
}  // namespace quillon
