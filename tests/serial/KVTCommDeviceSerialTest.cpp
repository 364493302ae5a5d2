#include "serial/posix/KVTCommDeviceSerial.h"

#include <gtest/gtest.h>

#include "serial/posix/KVTWinExtSerialPort.h"
#include "tests/serial/SerialTestUtil.h"
#include "tests/serial/support/PtyPair.h"
#include "tests/serial/support/TempComDir.h"

namespace quillon {
namespace {

using test::LineSettings;
using test::PtyPair;
using test::TempComDir;
using test::WaitReadable;

TEST(KVTCommDeviceSerialTest, OpensAComNumberAsEightNoneOneWithoutFlowControl) {
    TempComDir dir;
    PtyPair pty;
    dir.Link(7, pty.SlavePath());
    KVTCommDeviceSerial device;
    EXPECT_EQ(device.DeviceKind(), 2);
    EXPECT_EQ(device.WaitDescriptor(), -1);

    ASSERT_TRUE(device.OpenPort(7, 19, false));
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.Port().GetPortName(), dir.EntryPath(7));
    EXPECT_GE(device.WaitDescriptor(), 0);
    EXPECT_FALSE(device.FlowControl());
    const auto tio = LineSettings(pty.Slave());
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(device.Port().TimeoutSeconds(), 2);
    EXPECT_EQ(device.Port().TimeoutMilliseconds(), 0);

    // The session's speed change.
    device.SetBaudRate(14);
    const auto slower = LineSettings(pty.Slave());
    EXPECT_EQ(cfgetospeed(&slower), static_cast<speed_t>(B19200));

    device.SetFlowControl(true);
    EXPECT_TRUE(device.FlowControl());
    EXPECT_EQ(device.Port().GetFlowControl(), 3);
    EXPECT_NE(LineSettings(pty.Slave()).c_cflag & CRTSCTS, 0u);
    device.SetFlowControl(false);
    EXPECT_EQ(device.Port().GetFlowControl(), 0);
}

TEST(KVTCommDeviceSerialTest, BytesBothWaysThroughTheDevice) {
    TempComDir dir;
    PtyPair pty;
    dir.Link(12, pty.SlavePath());
    KVTCommDeviceSerial device;
    ASSERT_TRUE(device.OpenPort(12, 14, false));

    const uint8_t frame[] = {0xBA, 0x7F, 0x01, 0x04, 0x2D, 0x4E, 0x7E};
    EXPECT_EQ(device.Write(frame, sizeof frame), static_cast<int>(sizeof frame));
    EXPECT_EQ(pty.Receive(sizeof frame), std::vector<uint8_t>(std::begin(frame), std::end(frame)));

    EXPECT_FALSE(device.CharReady());
    pty.Send(std::vector<uint8_t>{0x01, 0x02, 0x03});
    ASSERT_TRUE(WaitReadable(device.WaitDescriptor()));
    std::vector<uint8_t> got;
    for (int i = 0; i < 200 && got.size() < 3; ++i) {
        if (!device.CharReady()) {
            WaitReadable(device.WaitDescriptor(), 10);
            continue;
        }
        uint8_t b = 0;
        ASSERT_EQ(device.ReadByte(&b), 1);
        got.push_back(b);
    }
    EXPECT_EQ(got, (std::vector<uint8_t>{0x01, 0x02, 0x03}));
    EXPECT_EQ(device.LastError(), 0);

    EXPECT_EQ(device.Close(), 1);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.WaitDescriptor(), -1);
    EXPECT_EQ(device.Write(frame, 2), 0);
}

TEST(KVTCommDeviceSerialTest, MissingOrHeldPortsDoNotOpen) {
    TempComDir dir;
    PtyPair pty;
    KVTCommDeviceSerial device;
    EXPECT_FALSE(device.OpenPort(200, 14, false));  // no entry and no default device
    EXPECT_FALSE(device.IsOpen());
    dir.Link(201, dir.Path() + "/vanished");
    EXPECT_FALSE(device.OpenPort(201, 14, false));
    EXPECT_FALSE(device.IsOpen());
    EXPECT_FALSE(device.OpenPort(0, 14, false));

    dir.Link(9, pty.SlavePath());
    {
        KVTCommDeviceSerial first;
        ASSERT_TRUE(first.OpenPort(9, 14, false));
        EXPECT_FALSE(device.OpenPort(9, 14, false));
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(device.Open(), -1);
    }
    // The first device closed its port when it went away.
    EXPECT_TRUE(device.OpenPort(9, 14, false));
}

}  // namespace
}  // namespace quillon
