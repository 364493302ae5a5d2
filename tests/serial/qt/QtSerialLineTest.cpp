#include "serial/qt/QtSerialLine.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <vector>

#include "serial/posix/PosixSerialLine.h"
#include "serial/qt/QtEventPump.h"
#include "tests/serial/SerialTestUtil.h"
#include "tests/serial/qt/QtTestApp.h"
#include "tests/serial/support/PtyPair.h"
#include "tests/serial/support/TempComDir.h"

namespace quillon {
namespace {

using Reason = OpenFailure::Reason;
using test::PtyPair;
using test::TempComDir;
using test::TerminalOf;

class QtSerialLineTest : public ::testing::Test {
protected:
    void SetUp() override { test::QtTestApp(); }

    // Runs the event loop until `done` or two seconds have passed.
    bool PumpUntil(const std::function<bool()>& done) {
        const int64_t deadline = pump.NowMs() + 2000;
        while (!done()) {
            if (pump.NowMs() >= deadline) {
                return false;
            }
            pump.WaitForActivity(std::min(deadline, pump.NowMs() + 10));
        }
        return true;
    }
    Reason Open(const LineSettings& settings = {}) {
        return line.Open(pty.SlavePath(), settings).reason;
    }
    std::vector<uint8_t> Sent(size_t count) {
        std::vector<uint8_t> sent;
        PumpUntil([&] {
            auto more = pty.ReceiveAvailable();
            sent.insert(sent.end(), more.begin(), more.end());
            return sent.size() >= count;
        });
        return sent;
    }

    TempComDir dir;
    PtyPair pty;
    QtEventPump pump;
    QtSerialLine line;
};

TEST_F(QtSerialLineTest, BlocksRoundTripAndTheBufferTakesWholeBlocksOnly) {
    ASSERT_EQ(Open(), Reason::None);
    EXPECT_TRUE(line.IsOpen());
    std::vector<uint8_t> block(1000);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i * 7);
    }
    EXPECT_EQ(line.Write(block.data(), 1000).count, 1000);
    EXPECT_EQ(line.Unsent().count, 1000) << "queued until the event loop sends it";
    EXPECT_EQ(Sent(1000), block);
    ASSERT_TRUE(PumpUntil([&] { return line.Unsent().count == 0; }));

    // A block larger than the buffer is never taken.
    std::vector<uint8_t> big(QtSerialLine::kBufferSize + 1, 0x11);
    EXPECT_EQ(line.Write(big.data(), static_cast<int>(big.size())).count, 0);
    pump.SleepMs(20);
    EXPECT_TRUE(pty.ReceiveAvailable().empty());

    const std::vector<uint8_t> reply = {0xBA, 0x00, 0x0D, 0x0A, 0x7E, 0xFF};
    pty.Send(reply);
    std::vector<uint8_t> got;
    ASSERT_TRUE(PumpUntil([&] {
        uint8_t buffer[64];
        const LineResult r = line.Read(buffer, sizeof buffer);
        got.insert(got.end(), buffer, buffer + r.count);
        return got.size() >= reply.size();
    }));
    EXPECT_EQ(got, reply);

    line.Close();
    EXPECT_FALSE(line.IsOpen());
    EXPECT_FALSE(line.Write(block.data(), 1).Ok());
    EXPECT_FALSE(line.Read(block.data(), 1).Ok());
}

TEST_F(QtSerialLineTest, OpenDropsWhatArrivedBefore) {
    pty.Send("stale");
    ASSERT_EQ(Open(), Reason::None);
    pump.SleepMs(20);
    uint8_t buffer[16];
    EXPECT_EQ(line.Read(buffer, sizeof buffer).count, 0);
}

TEST_F(QtSerialLineTest, SpeedIsTheOpensAndChangesAfterWhatIsQueuedHasLeft) {
    ASSERT_EQ(Open({38400, true, false}), Reason::None);
    auto tio = TerminalOf(pty.Slave());
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));

    // The speed-change request itself is the usual case: it must leave at the old speed.
    const std::vector<uint8_t> frame = {0xBA, 0x7F, 0x01, 0x09, 0x00, 0x05, 0x71, 0x7E};
    ASSERT_EQ(line.Write(frame.data(), static_cast<int>(frame.size())).count, 8);
    EXPECT_TRUE(line.SetSpeed(115200).Ok());
    EXPECT_EQ(line.Unsent().count, 0);
    EXPECT_EQ(pty.Receive(frame.size()), frame) << "written out before the speed changed";
    tio = TerminalOf(pty.Slave());
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_EQ(line.Settings().bitsPerSecond, 115200);
}

TEST_F(QtSerialLineTest, Rs485SwitchingWorksOnATerminalWithoutModemLines) {
    ASSERT_EQ(Open({19200, true, false}), Reason::None);
    EXPECT_FALSE(line.ClearToSend());
    EXPECT_FALSE(line.TransmitRtsRaised());
    const uint8_t frame[] = {0xBA, 0x7F, 0x01, 0x09, 0x00, 0x77, 0x7E};
    for (int length : {7, 3}) {
        ASSERT_EQ(line.Write(frame, length).count, length);
        EXPECT_TRUE(line.TransmitRtsRaised());
        std::vector<uint8_t> sent;
        ASSERT_TRUE(PumpUntil([&] {
            auto more = pty.ReceiveAvailable();
            sent.insert(sent.end(), more.begin(), more.end());
            return static_cast<int>(sent.size()) >= length && !line.TransmitRtsRaised();
        }));
        EXPECT_EQ(sent, std::vector<uint8_t>(frame, frame + length));
    }
}

TEST_F(QtSerialLineTest, MissingOrHeldPortsAreRefused) {
    const std::string file = dir.Path() + "/plain";
    std::ofstream(file) << "x";
    const std::pair<std::string, Reason> cases[] = {
        {"", Reason::NoSuchDevice},
        {dir.Path() + "/gone", Reason::NoSuchDevice},
        {file, Reason::NotATerminal},
    };
    for (const auto& [path, reason] : cases) {
        EXPECT_EQ(line.Open(path, {}).reason, reason) << path;
        EXPECT_FALSE(line.IsOpen());
    }

    // Held by a POSIX line: refused, and the holder's line is untouched.
    {
        PosixSerialLine holder;
        ASSERT_EQ(holder.Open(pty.SlavePath(), {115200}).reason, Reason::None);
        EXPECT_EQ(Open(), Reason::InUse);
        const auto tio = TerminalOf(pty.Slave());
        EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    }
    // Held by another Qt line, and then the other way round.
    QtSerialLine other;
    ASSERT_EQ(other.Open(pty.SlavePath(), {}).reason, Reason::None);
    EXPECT_EQ(Open(), Reason::InUse);
    PosixSerialLine device;
    EXPECT_EQ(device.Open(pty.SlavePath(), {}).reason, Reason::InUse);
    other.Close();
    EXPECT_EQ(Open(), Reason::None);
}

TEST(QtSerialLineGone, ADeviceThatGoesAwayClosesTheLine) {
    test::QtTestApp();
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    QtSerialLine line;
    ASSERT_EQ(line.Open(name, {}).reason, Reason::None);
    ::close(master);

    QtEventPump pump;
    const int64_t deadline = pump.NowMs() + 3000;
    while (line.IsOpen() && pump.NowMs() < deadline) {
        pump.WaitForActivity(std::min(deadline, pump.NowMs() + 20));
    }
    EXPECT_FALSE(line.IsOpen());
}

}  // namespace
}  // namespace quillon
