// Opening, reading and writing over a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <thread>

#include "serial/posix/KVTWinExtSerialPort.h"
#include "tests/serial/SerialTestUtil.h"
#include "tests/serial/support/PtyPair.h"

namespace quillon {
namespace {

using test::PtyPair;
using test::WaitReadable;

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

class PortIoTest : public ::testing::Test {
protected:
    void SetUp() override {
        port.SetPortName(pty.SlavePath());
        ASSERT_TRUE(port.Open());
    }
    // Sends from the far side and waits until the bytes are queued at the port.
    void Arrive(const std::string& text) {
        pty.Send(text);
        ASSERT_TRUE(WaitReadable(port.Descriptor()));
        for (int i = 0; i < 100 && port.InQueueCount() < static_cast<int32_t>(text.size()); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_EQ(port.InQueueCount(), static_cast<int32_t>(text.size()));
    }

    PtyPair pty;
    KVTWinExtSerialPort port;
};

TEST(KVTWinExtSerialPortOpen, OpensOnlyTerminalsThatExist) {
    KVTWinExtSerialPort port;
    port.SetPortName("/nonexistent/tty");
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Descriptor(), -1);
    EXPECT_EQ(port.SystemError(), ENOENT);

    port.SetPortName("/dev/null");
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.SystemError(), ENOTTY);
}

TEST(KVTWinExtSerialPortOpen, AHeldPortIsRefusedUntilReleased) {
    PtyPair pty;
    KVTWinExtSerialPort first;
    KVTWinExtSerialPort second;
    first.SetPortName(pty.SlavePath());
    second.SetPortName(pty.SlavePath());
    ASSERT_TRUE(first.Open());
    const int fd = first.Descriptor();
    EXPECT_TRUE(first.Open());  // already open: nothing reopened
    EXPECT_EQ(first.Descriptor(), fd);

    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.SystemError(), EBUSY);
    first.Close();
    EXPECT_FALSE(first.IsOpen());
    EXPECT_TRUE(second.Open());

    // Another process holding the port keeps it as well.
    second.Close();
    const pid_t child = ::fork();
    if (child == 0) {
        KVTWinExtSerialPort holder;
        holder.SetPortName(pty.SlavePath());
        if (!holder.Open()) {
            ::_exit(1);
        }
        ::sleep(2);
        ::_exit(0);
    }
    bool refused = false;
    for (int i = 0; i < 100 && !refused; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        refused = !first.Open();
        first.Close();
    }
    EXPECT_TRUE(refused);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(first.Open());
}

TEST(KVTWinExtSerialPortOpen, SetDefaultsOnAnOpenPortReleasesIt) {
    PtyPair pty;
    KVTWinExtSerialPort port;
    port.SetPortName(pty.SlavePath());
    ASSERT_TRUE(port.Open());
    port.SetDefaults();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Descriptor(), -1);
    KVTWinExtSerialPort other;
    other.SetPortName(pty.SlavePath());
    EXPECT_TRUE(other.Open());
}

TEST(KVTWinExtSerialPortOpen, AClosedPortDoesNothing) {
    KVTWinExtSerialPort port;
    uint8_t buffer[8] = {1, 2, 3};
    EXPECT_EQ(port.InQueueCount(), 0);
    EXPECT_EQ(port.PollInQueue(), 0);
    EXPECT_FALSE(port.CharReady());
    EXPECT_EQ(port.Read(buffer, 3), 0);
    EXPECT_EQ(port.Write(buffer, 3), 0);
    EXPECT_FALSE(port.ReadChar(buffer));
    EXPECT_FALSE(port.WriteChar(7));
    EXPECT_EQ(port.ReadLine(buffer, 8), 0);
    EXPECT_EQ(buffer[0], 1);  // nothing stored
    EXPECT_EQ(port.ModemStatus(), 0u);
    port.SetDTR(true);
    port.SetRTS(true);
    port.Flush();
    port.Close();
    EXPECT_TRUE(port.SetBaudRate(19));  // remembered only
    EXPECT_EQ(port.GetBaudRate(), 19);
}

TEST_F(PortIoTest, BytesTravelUnchangedBothWays) {
    // Every byte value, including those a cooked terminal would translate or act on.
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<uint8_t>(i);
    }
    EXPECT_EQ(port.Write(all.data(), 256), 256);
    EXPECT_EQ(pty.Receive(256), all);

    pty.Send(all);
    std::vector<uint8_t> got;
    while (got.size() < 256 && WaitReadable(port.Descriptor())) {
        uint8_t buf[300];
        const int n = port.Read(buf, static_cast<int>(256 - got.size()));
        ASSERT_GT(n, 0);
        got.insert(got.end(), buf, buf + n);
    }
    EXPECT_EQ(got, all);

    EXPECT_TRUE(port.WriteChar(0x7E));
    EXPECT_EQ(pty.Receive(1), std::vector<uint8_t>{0x7E});
}

TEST_F(PortIoTest, ReadWithNothingWaitingReturnsAtOnceAndKeepsTheLastError) {
    port.SetErrorFromFlags(KVTWinExtSerialBase::kFlagBreak);
    port.SetTimeouts(5, 0);
    uint8_t buffer[4];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(buffer, 4), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(port.LastError(), 6);
    uint8_t byte = 0;
    EXPECT_FALSE(port.ReadChar(&byte));
    EXPECT_FALSE(port.CharReady());
}

TEST_F(PortIoTest, ReadReturnsWhatCameWithinTheCharacterTimeout) {
    port.SetTimeouts(0, 40);
    Arrive("abc");
    uint8_t buffer[10] = {};
    EXPECT_EQ(port.Read(buffer, 10), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "abc");
    EXPECT_EQ(port.InQueueCount(), 0);

    // Bytes that follow within the time-out belong to the same read.
    port.SetTimeouts(1, 0);
    Arrive("12");
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.Send("34");
    });
    EXPECT_EQ(port.Read(buffer, 4), 4);
    later.join();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "1234");
}

TEST_F(PortIoTest, QueueCountsAndPolling) {
    EXPECT_EQ(port.PollInQueue(), 0);
    EXPECT_EQ(port.LastError(), 0);
    Arrive("hello");
    EXPECT_EQ(port.PollInQueue(), 5);
    EXPECT_TRUE(port.CharReady());
    uint8_t byte = 0;
    EXPECT_TRUE(port.ReadChar(&byte));
    EXPECT_EQ(byte, 'h');
    EXPECT_EQ(port.InQueueCount(), 4);
}

TEST_F(PortIoTest, ReadLineStopsAtTheLimitOrAfterALineFeed) {
    uint8_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 0xAA);
    EXPECT_EQ(port.ReadLine(buffer, 4), 0);  // nothing waiting
    EXPECT_EQ(buffer[0], 0xAA);

    Arrive("0123456789");
    EXPECT_EQ(port.ReadLine(buffer, 4), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), "012");
    EXPECT_EQ(port.InQueueCount(), 7);

    uint8_t rest[16];
    ASSERT_EQ(port.Read(rest, 7), 7);
    Arrive("ab\ncd");
    EXPECT_EQ(port.ReadLine(buffer, 16), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), "ab\n");
    EXPECT_EQ(port.InQueueCount(), 2);
    // Reads no further than what was waiting when it started.
    EXPECT_EQ(port.ReadLine(buffer, 16), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), "cd");
}

TEST_F(PortIoTest, ModemLinesOfAPseudoTerminalAreAbsentButHarmless) {
    port.SetDTR(true);
    port.SetRTS(true);
    port.SetRTS(false);
    EXPECT_EQ(port.ModemStatus(), 0u);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Write(Bytes("ok").data(), 2), 2);
    EXPECT_EQ(pty.Receive(2), Bytes("ok"));
}

TEST_F(PortIoTest, WriteThatCannotGoOutFailsWithFourteen) {
    // The device turns into something that cannot be written: the write fails.
    const int readOnly = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(readOnly, 0);
    ASSERT_EQ(::dup2(readOnly, port.Descriptor()), port.Descriptor());
    ::close(readOnly);
    EXPECT_EQ(port.Write(Bytes("zz").data(), 2), -1);
    EXPECT_EQ(port.LastError(), 14);
}

TEST_F(PortIoTest, WriteCutOffByAVanishingDeviceFailsWithFourteen) {
    // The far side stops reading, so a long block goes out only in part; then the device goes
    // away while the rest waits. The block was not sent.
    port.SetTimeouts(0, 200);
    std::vector<uint8_t> block(1 << 20, 0x55);
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, pty.Master());  // the master end closes: the line hangs up
        ::close(devNull);
    });
    const int32_t result = port.Write(block.data(), static_cast<int32_t>(block.size()));
    unplug.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(port.LastError(), 14);
}

TEST_F(PortIoTest, ReadThatFailsWithBytesWaitingSetsThirteen) {
    // The descriptor turns into one that reports bytes waiting but cannot be read (the writing
    // end of a pipe with bytes in it).
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "ab", 2), 2);
    ASSERT_EQ(::dup2(fds[1], port.Descriptor()), port.Descriptor());
    ::close(fds[0]);
    ::close(fds[1]);
    ASSERT_EQ(port.InQueueCount(), 2);
    uint8_t buffer[2];
    EXPECT_EQ(port.Read(buffer, 2), -1);
    EXPECT_EQ(port.LastError(), 13);
    port.SetErrorFromFlags(KVTWinExtSerialBase::kFlagBreak);
    uint8_t byte = 0;
    EXPECT_FALSE(port.ReadChar(&byte));
    EXPECT_EQ(port.LastError(), 13);
}

}  // namespace
}  // namespace quillon
