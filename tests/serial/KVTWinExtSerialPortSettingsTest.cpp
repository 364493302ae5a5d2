// Line settings: what the port remembers, and what reaches the terminal.
#include <gtest/gtest.h>

#include <array>

#include "serial/posix/CustomLineSpeed.h"
#include "serial/posix/KVTWinExtSerialPort.h"
#include "tests/serial/SerialTestUtil.h"
#include "tests/serial/support/PtyPair.h"

namespace quillon {
namespace {

using test::LineSettings;
using test::PtyPair;

class OpenPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        port.SetPortName(pty.SlavePath());
        ASSERT_TRUE(port.Open());
    }
    struct termios Line() const {
        return LineSettings(pty.Slave());
    }

    PtyPair pty;
    KVTWinExtSerialPort port;
};

TEST(KVTWinExtSerialPortSettings, StartsClosedOnCom1WithTheDefaults) {
    KVTWinExtSerialPort port;
    EXPECT_EQ(port.GetPortName(), "COM1");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetBaudRate(), 14);
    EXPECT_EQ(port.GetDataBits(), 3);
    EXPECT_EQ(port.GetParity(), 0);
    EXPECT_EQ(port.GetStopBits(), 0);
    EXPECT_EQ(port.GetFlowControl(), 0);
    EXPECT_EQ(port.TimeoutSeconds(), 0);
    EXPECT_EQ(port.TimeoutMilliseconds(), 500);

    port.SetBaudRate(19);
    port.SetParity(2);
    port.SetFlowControl(1);
    port.SetTimeouts(2, 0);
    port.SetPortName("/dev/null");
    port.SetDefaults();
    EXPECT_EQ(port.GetBaudRate(), 14);
    EXPECT_EQ(port.GetParity(), 0);
    EXPECT_EQ(port.GetFlowControl(), 0);
    EXPECT_EQ(port.TimeoutMilliseconds(), 500);
    EXPECT_EQ(port.GetPortName(), "/dev/null");  // the name is not a setting
}

TEST(KVTWinExtSerialPortSettings, BaudIndexIsRememberedNormalised) {
    // Requested index -> index remembered.
    constexpr std::array<uint8_t, 26> kRemembered = {2,  2,  2,  2,  2,  2,  6,  7,  8,
                                                     8,  10, 11, 12, 13, 14, 15, 16, 17,
                                                     17, 19, 20, 21, 22, 23, 24, 25};
    KVTWinExtSerialPort port;
    for (uint8_t i = 0; i < kRemembered.size(); ++i) {
        port.SetBaudRate(i);
        EXPECT_EQ(port.GetBaudRate(), kRemembered[i]) << "index " << int(i);
    }
    port.SetBaudRate(255);
    EXPECT_EQ(port.GetBaudRate(), 255);
}

TEST(KVTWinExtSerialPortSettings, DataAndStopBitsKeepThePairingRule) {
    KVTWinExtSerialPort port;
    port.SetStopBits(2);
    port.SetDataBits(0);  // five data bits cannot go with two stop bits
    EXPECT_EQ(port.GetDataBits(), 3);
    port.SetDataBits(1);
    EXPECT_EQ(port.GetDataBits(), 1);

    port.SetStopBits(1);  // one and a half stop bits need five data bits
    EXPECT_EQ(port.GetStopBits(), 2);
    port.SetStopBits(0);
    port.SetDataBits(0);
    port.SetStopBits(1);
    EXPECT_EQ(port.GetStopBits(), 1);
    port.SetDataBits(3);
    EXPECT_EQ(port.GetDataBits(), 0);
    port.SetStopBits(2);  // two stop bits cannot go with five data bits either way round
    EXPECT_EQ(port.GetStopBits(), 1);

    // Values outside the ranges are remembered (where the rule allows) and write nothing.
    port.SetStopBits(0);
    port.SetDataBits(9);
    EXPECT_EQ(port.GetDataBits(), 9);
    port.SetStopBits(7);
    EXPECT_EQ(port.GetStopBits(), 7);
}

TEST(KVTWinExtSerialPortSettings, LineErrorFlagsMapInOrderOfPrecedence) {
    using B = KVTWinExtSerialBase;
    EXPECT_EQ(B::ErrorCodeForFlags(0), 0);
    EXPECT_EQ(B::ErrorCodeForFlags(B::kFlagBreak | B::kFlagFraming | B::kFlagOverrun), 6);
    EXPECT_EQ(B::ErrorCodeForFlags(B::kFlagFraming | B::kFlagIOError | B::kFlagParity), 7);
    EXPECT_EQ(B::ErrorCodeForFlags(B::kFlagIOError | B::kFlagMode), 8);
    EXPECT_EQ(B::ErrorCodeForFlags(B::kFlagMode | B::kFlagOverrun), 1);
    EXPECT_EQ(B::ErrorCodeForFlags(B::kFlagOverrun | B::kFlagParity), 9);
    EXPECT_EQ(B::ErrorCodeForFlags(B::kFlagParity | B::kFlagReceiveQueueOverflow), 11);
    EXPECT_EQ(B::ErrorCodeForFlags(B::kFlagReceiveQueueOverflow | B::kFlagTransmitQueueFull), 10);
    EXPECT_EQ(B::ErrorCodeForFlags(B::kFlagTransmitQueueFull), 12);
    EXPECT_EQ(B::ErrorCodeForFlags(0x10000u | 0x0020u), 0);  // only the known low bits count

    KVTWinExtSerialPort port;
    port.SetErrorFromFlags(B::kFlagParity);
    EXPECT_EQ(port.LastError(), 11);
    port.SetErrorFromFlags(0);  // nothing set: the previous code stays
    EXPECT_EQ(port.LastError(), 11);
}

TEST_F(OpenPortTest, OpenPutsTheLineInRawModeWithTheRememberedSettings) {
    const auto tio = Line();
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IXON), 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));

    // Settings made while closed are applied by the next open.
    port.Close();
    port.SetBaudRate(15);
    port.SetDataBits(2);
    port.SetParity(1);
    port.SetStopBits(2);
    port.SetFlowControl(2);
    ASSERT_TRUE(port.Open());
    const auto again = Line();
    EXPECT_EQ(cfgetospeed(&again), static_cast<speed_t>(B38400));
    EXPECT_NE(again.c_cflag & PARODD, 0u);
    EXPECT_NE(again.c_iflag & INPCK, 0u);
    EXPECT_NE(again.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(again.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
}

TEST_F(OpenPortTest, BaudChangeReachesTheLineAtTheRequestedSpeed) {
    EXPECT_TRUE(port.SetBaudRate(9));
    auto tio = Line();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B1200));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B1200));
    EXPECT_EQ(port.GetBaudRate(), 8);

    EXPECT_TRUE(port.SetBaudRate(3));
    tio = Line();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B110));
    EXPECT_EQ(port.GetBaudRate(), 2);

    EXPECT_TRUE(port.SetBaudRate(19));
    tio = Line();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));

    // An index above the table is remembered and leaves the line alone.
    EXPECT_TRUE(port.SetBaudRate(30));
    EXPECT_EQ(port.GetBaudRate(), 30);
    tio = Line();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
}

TEST_F(OpenPortTest, SpeedsWithoutAStandardConstantUseTheArbitrarySpeedInterface) {
    for (auto [index, speed] :
         {std::pair{13, 14400u}, {16, 56000u}, {20, 128000u}, {21, 256000u}}) {
        EXPECT_TRUE(port.SetBaudRate(static_cast<uint8_t>(index)));
        EXPECT_EQ(CustomLineSpeed::Get(pty.Slave()), speed) << "index " << index;
    }
    // Changing another setting keeps the custom speed.
    port.SetBaudRate(20);
    port.SetParity(2);
    port.SetStopBits(2);
    EXPECT_EQ(CustomLineSpeed::Get(pty.Slave()), 128000u);
    EXPECT_NE(Line().c_cflag & CSTOPB, 0u);
    // And a standard speed afterwards is a standard speed again, in both directions.
    port.SetBaudRate(12);
    auto tio = Line();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(CustomLineSpeed::Get(pty.Slave()), 9600u);
    EXPECT_EQ(CustomLineSpeed::GetInput(pty.Slave()), 9600u);
}

TEST_F(OpenPortTest, ParityFlowAndStopBitsReachTheLine) {
    // A pseudo-terminal always reports eight data bits and clears the parity-enable bit, so
    // the bits it keeps show that each setter writes to the line.
    port.SetParity(3);
    EXPECT_EQ(Line().c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD | CMSPAR));
    EXPECT_NE(Line().c_iflag & INPCK, 0u);
    port.SetParity(9);  // unknown: remembered, the line keeps mark parity
    EXPECT_EQ(port.GetParity(), 9);
    EXPECT_EQ(Line().c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD | CMSPAR));
    port.SetParity(0);
    EXPECT_EQ(Line().c_cflag & (PARODD | CMSPAR), 0u);
    EXPECT_EQ(Line().c_iflag & INPCK, 0u);

    port.SetFlowControl(2);
    EXPECT_EQ(Line().c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    port.SetFlowControl(3);
    EXPECT_NE(Line().c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(Line().c_iflag & (IXON | IXOFF), 0u);
    port.SetFlowControl(7);  // unknown: remembered, the line keeps handshaking
    EXPECT_EQ(port.GetFlowControl(), 7);
    EXPECT_NE(Line().c_cflag & CRTSCTS, 0u);
    port.SetFlowControl(0);
    EXPECT_EQ(Line().c_cflag & CRTSCTS, 0u);

    port.SetStopBits(2);
    EXPECT_NE(Line().c_cflag & CSTOPB, 0u);
    port.SetDataBits(0);  // refused with two stop bits: nothing changes
    EXPECT_EQ(port.GetDataBits(), 3);
    port.SetStopBits(0);
    EXPECT_EQ(Line().c_cflag & CSTOPB, 0u);
}

}  // namespace
}  // namespace quillon
