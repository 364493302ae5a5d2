// The POSIX line over a pseudo-terminal: what an open does to the terminal, speeds, bytes both
// ways in blocks, and a closed line.

#include "serial/posix/PosixSerialLine.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <cerrno>
#include <vector>

#include "serial/posix/CustomLineSpeed.h"
#include "tests/serial/SerialTestUtil.h"
#include "tests/serial/support/PtyPair.h"

namespace quillon::test {
namespace {

class PosixSerialLineTest : public ::testing::Test {
protected:
    void Open(const LineSettings& settings = {}) {
        ASSERT_EQ(line.Open(pty.SlavePath(), settings).reason, OpenFailure::Reason::None);
    }

    PtyPair pty;
    PosixSerialLine line;
};

TEST_F(PosixSerialLineTest, OpenMakesARawEightNoneOneLineAtTheGivenSpeed) {
    struct Case {
        LineSettings settings;
        speed_t speed;
        bool handshake;
    };
    for (const Case& c :
         {Case{{19200, false, false}, B19200, false}, Case{{115200, false, true}, B115200, true},
          Case{{9600, true, false}, B9600, false}}) {
        Open(c.settings);
        const auto tio = TerminalOf(pty.Slave());
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IXON | IXOFF), 0u);
        EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u);
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, c.handshake);
        EXPECT_EQ(line.Settings().bitsPerSecond, c.settings.bitsPerSecond);
        line.Close();
    }
}

TEST_F(PosixSerialLineTest, SpeedsWithAndWithoutAStandardConstantReachBothDirections) {
    Open();
    for (int32_t speed : {14400, 115200, 56000, 128000, 256000, 9600, 38400}) {
        SCOPED_TRACE(speed);
        ASSERT_TRUE(line.SetSpeed(speed).Ok());
        EXPECT_EQ(CustomLineSpeed::Get(pty.Slave()), static_cast<uint32_t>(speed));
        EXPECT_EQ(CustomLineSpeed::GetInput(pty.Slave()), static_cast<uint32_t>(speed));
    }
    EXPECT_FALSE(line.SetSpeed(0).Ok()) << "a speed of nothing is refused";
    // A speed set while closed is the next open's.
    line.Close();
    EXPECT_TRUE(line.SetSpeed(57600).Ok());
    EXPECT_EQ(line.Settings().bitsPerSecond, 57600);
}

TEST_F(PosixSerialLineTest, BytesTravelBothWaysAndReadsTakeWhatIsThereInBlocks) {
    Open();
    std::vector<uint8_t> block(3000);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i * 7);
    }
    int sent = 0;
    while (sent < static_cast<int>(block.size())) {
        const LineResult r = line.Write(block.data() + sent, static_cast<int>(block.size()) - sent);
        ASSERT_TRUE(r.Ok());
        sent += r.count;
        if (r.count == 0) {
            pty.ReceiveAvailable();
        }
    }

    uint8_t buffer[4096];
    LineResult nothing = line.Read(buffer, sizeof buffer);
    EXPECT_TRUE(nothing.Ok());
    EXPECT_EQ(nothing.count, 0) << "nothing has come";

    pty.Send(block);
    std::vector<uint8_t> got;
    int reads = 0;
    while (got.size() < block.size() && WaitReadable(line.WaitHandle())) {
        const LineResult r = line.Read(buffer, sizeof buffer);
        ASSERT_TRUE(r.Ok());
        got.insert(got.end(), buffer, buffer + r.count);
        ++reads;
    }
    EXPECT_EQ(got, block);
    EXPECT_LT(reads, 100) << "reads take many bytes at a time";
    EXPECT_TRUE(line.Unsent().Ok());
}

TEST_F(PosixSerialLineTest, AClosedLineMovesNothing) {
    uint8_t byte = 0;
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_FALSE(line.IsOpen());
        EXPECT_EQ(line.WaitHandle(), -1);
        EXPECT_EQ(line.Write(&byte, 1).error, EBADF);
        EXPECT_EQ(line.Read(&byte, 1).error, EBADF);
        EXPECT_EQ(line.Unsent().count, 0);
        Open();
        line.Close();
        line.Close();  // again: nothing happens
    }
}

}  // namespace
}  // namespace quillon::test
