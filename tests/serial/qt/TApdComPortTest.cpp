#include "serial/qt/TApdComPort.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <functional>

#include "serial/posix/KVTWinExtSerialPort.h"
#include "serial/qt/QtEventPump.h"
#include "tests/serial/SerialTestUtil.h"
#include "tests/serial/qt/QtTestApp.h"
#include "tests/serial/support/PtyPair.h"
#include "tests/serial/support/TempComDir.h"

namespace quillon {
namespace {

using test::LineSettings;
using test::PtyPair;
using test::TempComDir;

class TApdComPortTest : public ::testing::Test {
protected:
    static constexpr int kCom = 21;

    void SetUp() override {
        test::QtTestApp();
        dir.Link(kCom, pty.SlavePath());
        port.SetComNumber(kCom);
    }

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

    int OpenErrorCode() {
        try {
            port.SetOpen(true);
        } catch (const EAPDException& e) {
            return e.ErrorCode();
        }
        return 0;
    }

    TempComDir dir;
    PtyPair pty;
    QtEventPump pump;
    TApdComPort port;
};

TEST_F(TApdComPortTest, PutBlockAndGetCharRoundTrip) {
    EXPECT_EQ(port.ComNumber(), kCom);
    ASSERT_EQ(OpenErrorCode(), 0);
    EXPECT_TRUE(port.Open());

    std::vector<uint8_t> block(300);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i * 7);
    }
    EXPECT_EQ(port.PutBlock(block.data(), static_cast<int>(block.size())), 0);
    std::vector<uint8_t> sent;
    ASSERT_TRUE(PumpUntil([&] {
        auto more = pty.ReceiveAvailable();
        sent.insert(sent.end(), more.begin(), more.end());
        return sent.size() >= block.size();
    }));
    EXPECT_EQ(sent, block);

    const std::vector<uint8_t> reply = {0xBA, 0x00, 0x0D, 0x0A, 0x7E, 0xFF};
    pty.Send(reply);
    std::vector<uint8_t> got;
    ASSERT_TRUE(PumpUntil([&] {
        while (port.CharReady()) {
            got.push_back(port.GetChar());
        }
        return got.size() >= reply.size();
    }));
    EXPECT_EQ(got, reply);
    EXPECT_FALSE(port.CharReady());

    port.SetOpen(false);
    EXPECT_FALSE(port.Open());
    EXPECT_NE(port.PutBlock(block.data(), 1), 0);
    EXPECT_FALSE(port.CharReady());
}

TEST_F(TApdComPortTest, OutputBufferFigures) {
    EXPECT_EQ(port.OutBuffUsed(), 0);
    EXPECT_EQ(port.OutBuffFree(), 4096);
    ASSERT_EQ(OpenErrorCode(), 0);
    EXPECT_EQ(port.OutBuffFree(), 4096);

    std::vector<uint8_t> block(1000, 0x55);
    ASSERT_EQ(port.PutBlock(block.data(), 1000), 0);
    EXPECT_EQ(port.OutBuffUsed() + port.OutBuffFree(), 4096);
    EXPECT_EQ(port.OutBuffUsed(), 1000);  // queued until the event loop sends it
    ASSERT_TRUE(PumpUntil([&] { return port.OutBuffUsed() == 0; }));
    EXPECT_EQ(port.OutBuffFree(), 4096);
    EXPECT_EQ(pty.Receive(1000).size(), 1000u);

    // A block larger than the buffer is refused whole.
    std::vector<uint8_t> big(4097, 0x11);
    EXPECT_NE(port.PutBlock(big.data(), 4097), 0);
    EXPECT_EQ(port.OutBuffUsed(), 0);
    EXPECT_EQ(port.PutBlock(big.data(), 0), 0);
    pump.SleepMs(20);
    EXPECT_TRUE(pty.ReceiveAvailable().empty());
}

TEST_F(TApdComPortTest, FlushInBufferDiscardsWhatArrived) {
    ASSERT_EQ(OpenErrorCode(), 0);
    pty.Send("stale");
    ASSERT_TRUE(PumpUntil([&] { return port.CharReady(); }));
    port.FlushInBuffer();
    pump.SleepMs(20);
    EXPECT_FALSE(port.CharReady());
    pty.Send("A");
    ASSERT_TRUE(PumpUntil([&] { return port.CharReady(); }));
    EXPECT_EQ(port.GetChar(), 'A');
    port.FlushOutBuffer();
    EXPECT_EQ(port.OutBuffUsed(), 0);
}

TEST_F(TApdComPortTest, BaudIsRememberedAndTakesEffectAtOnce) {
    EXPECT_EQ(port.Baud(), 19200);
    ASSERT_EQ(OpenErrorCode(), 0);
    auto tio = LineSettings(pty.Slave());
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
    port.SetBaud(115200);
    EXPECT_EQ(port.Baud(), 115200);
    tio = LineSettings(pty.Slave());
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));

    port.SetOpen(false);
    port.SetBaud(38400);
    ASSERT_EQ(OpenErrorCode(), 0);
    tio = LineSettings(pty.Slave());
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));
}

TEST_F(TApdComPortTest, BytesQueuedBeforeASpeedChangeLeaveBeforeIt) {
    // The speed-change request itself is the usual case: it must leave at the old speed.
    ASSERT_EQ(OpenErrorCode(), 0);
    const std::vector<uint8_t> frame = {0xBA, 0x7F, 0x01, 0x09, 0x00, 0x05, 0x71, 0x7E};
    ASSERT_EQ(port.PutBlock(frame.data(), static_cast<int>(frame.size())), 0);
    port.SetBaud(115200);
    EXPECT_EQ(port.OutBuffUsed(), 0);
    EXPECT_EQ(pty.Receive(frame.size()), frame) << "written out before the speed changed";
    auto tio = LineSettings(pty.Slave());
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
}

TEST_F(TApdComPortTest, Rs485ModeWorksOnATerminalWithoutModemLines) {
    port.SetRS485Mode(true);
    EXPECT_TRUE(port.RS485Mode());
    ASSERT_EQ(OpenErrorCode(), 0);
    EXPECT_FALSE(port.CTS());
    EXPECT_FALSE(port.TransmitRtsRaised());

    const uint8_t frame[] = {0xBA, 0x7F, 0x01, 0x09, 0x00, 0x77, 0x7E};
    ASSERT_EQ(port.PutBlock(frame, sizeof frame), 0);
    EXPECT_TRUE(port.TransmitRtsRaised());
    std::vector<uint8_t> sent;
    ASSERT_TRUE(PumpUntil([&] {
        auto more = pty.ReceiveAvailable();
        sent.insert(sent.end(), more.begin(), more.end());
        return sent.size() >= sizeof frame && !port.TransmitRtsRaised();
    }));
    EXPECT_EQ(sent, std::vector<uint8_t>(std::begin(frame), std::end(frame)));

    // A second transmission raises and drops it again.
    ASSERT_EQ(port.PutBlock(frame, 3), 0);
    EXPECT_TRUE(port.TransmitRtsRaised());
    ASSERT_TRUE(PumpUntil([&] { return !port.TransmitRtsRaised(); }));
    EXPECT_EQ(pty.Receive(3).size(), 3u);
}

TEST_F(TApdComPortTest, MissingOrHeldPortsRaiseInUseOrNotAvailable) {
    port.SetComNumber(230);  // no entry, no default device
    EXPECT_EQ(OpenErrorCode(), EAPDException::kPortInUseOrMissing);
    EXPECT_FALSE(port.Open());

    dir.Link(231, dir.Path() + "/gone");
    port.SetComNumber(231);
    EXPECT_EQ(OpenErrorCode(), EAPDException::kPortInUseOrMissing);

    dir.Link(232, "/dev/null");
    port.SetComNumber(232);
    EXPECT_EQ(OpenErrorCode(), EAPDException::kPortInUseOrMissing);

    // Held by the program's own serial device: refused, and the holder's line is untouched.
    port.SetComNumber(kCom);
    {
        KVTWinExtSerialPort holder;
        holder.SetPortName(pty.SlavePath());
        holder.SetBaudRate(19);
        ASSERT_TRUE(holder.Open());
        EXPECT_EQ(OpenErrorCode(), EAPDException::kPortInUseOrMissing);
        EXPECT_FALSE(port.Open());
        const auto tio = LineSettings(pty.Slave());
        EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    }

    // Held by another component, and then the other way round.
    TApdComPort other;
    other.SetComNumber(kCom);
    other.SetOpen(true);
    EXPECT_EQ(OpenErrorCode(), EAPDException::kPortInUseOrMissing);
    KVTWinExtSerialPort device;
    device.SetPortName(dir.EntryPath(kCom));
    EXPECT_FALSE(device.Open());
    other.SetOpen(false);
    EXPECT_EQ(OpenErrorCode(), 0);
    EXPECT_TRUE(port.Open());
}

TEST_F(TApdComPortTest, ADevicePathOpensWhateverTheComNumber) {
    // The front end resolved the number; the component opens the path it was given and keeps
    // the number for titles.
    port.SetComNumber(230);  // no device of its own
    port.SetDevicePath(pty.SlavePath());
    EXPECT_EQ(OpenErrorCode(), 0);
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.ComNumber(), 230);
    port.SetOpen(false);

    port.SetComNumber(kCom);  // a number that has a device does not win over a missing path
    port.SetDevicePath(dir.Path() + "/gone");
    EXPECT_EQ(OpenErrorCode(), EAPDException::kPortInUseOrMissing);
}

TEST(TApdComPortGone, ADeviceThatGoesAwayClosesThePort) {
    test::QtTestApp();
    TempComDir dir;
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    dir.Link(40, name);
    TApdComPort port;
    port.SetComNumber(40);
    port.SetOpen(true);
    ASSERT_TRUE(port.Open());
    ::close(master);

    QtEventPump pump;
    const int64_t deadline = pump.NowMs() + 3000;
    while (port.Open() && pump.NowMs() < deadline) {
        pump.WaitForActivity(std::min(deadline, pump.NowMs() + 20));
    }
    EXPECT_FALSE(port.Open());
}

}  // namespace
}  // namespace quillon
