// The link session in port mode (the Qt serial line in RS-485 mode and the Qt event loop)
// against the virtual radio on a pseudo-terminal.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "link/Comm.h"
#include "link/ProtocolTiming.h"
#include "link/RadioQueries.h"
#include "serial/ComPortPath.h"
#include "serial/posix/PosixSerialLine.h"
#include "serial/qt/QtEventPump.h"
#include "serial/qt/QtSerialLine.h"
#include "tests/integration/RadioKindQuery.h"
#include "tests/integration/TestRadio.h"
#include "tests/integration/VirtualRadio.h"
#include "tests/serial/qt/QtTestApp.h"

namespace quillon::test {
namespace {

class PortModeTest : public ::testing::Test {
protected:
    void SetUp() override { session.UseTimeoutTimer(*timer); }

    void TearDown() override {
        session.Close();
        radio.reset();
    }

    VirtualRadio& StartRadio(const std::vector<std::string>& options) {
        // The radio before goes first: its COM directory gives $QUILLON_COM_DIR back as it
        // found it.
        radio.reset();
        radio = std::make_unique<VirtualRadio>(options, VirtualRadio::ComNumberForCurrentTest());
        EXPECT_TRUE(radio->Started()) << radio->ErrorText();
        return *radio;
    }

    // Opens port mode on the radio's COM number as the connection code does for a mobile radio
    // without an interface box: RS-485 mode, framed, active, 19200 bit/s.
    bool OpenPortMode(std::string& error) {
        if (!session.Connect(port, ComPortPath::Resolve(radio->Com()), error)) {
            return false;
        }
        session.SetLocalBaud(19200);
        return true;
    }

    VirtualRadio& Connect(const std::vector<std::string>& options) {
        StartRadio(options);
        std::string error = "not cleared";
        EXPECT_TRUE(OpenPortMode(error)) << error;
        EXPECT_EQ(error, "");
        return *radio;
    }

    QCoreApplication& app = QtTestApp();
    QtEventPump pump;
    std::unique_ptr<Timer> timer = pump.CreateTimer();
    QtSerialLine port;
    CommSession session{pump, PosixSerialLine::Factory()};
    std::unique_ptr<VirtualRadio> radio;
};

TEST_F(PortModeTest, EveryQueryAnswered) {
    VirtualRadio& sim = Connect(With(kStuffedRadio, {"--kind", "mobile", "--hard-key"}));
    EXPECT_TRUE(session.PortMode());
    VersionInfo info;
    ASSERT_EQ(ReadVersionInfo(session, 0, info, true), 1) << sim.Log();
    EXPECT_EQ(Hex(info), Hex(StuffedRadioVersions()));

    uint8_t boot[2] = {};
    EXPECT_EQ(ReadBootVersion(session, 0, boot), 1) << sim.Log();
    EXPECT_EQ(boot[0], 6);
    EXPECT_EQ(boot[1], 5);

    uint8_t radioInfo[10] = {};
    ASSERT_EQ(ReadRadioInfo(session, radioInfo), 1) << sim.Log();
    const uint8_t withKey[10] = {0x03, 0x10, 0x7E, 0xBA, 0, 0, 0, 0, 0, 0x09};
    EXPECT_EQ(sim::FormatHex(radioInfo, 10), sim::FormatHex(withKey, 10));

    uint8_t kind = 0xFF;
    ASSERT_EQ(AskRadioKind(session, kind), 1) << sim.Log();
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(sim.CountStartingWith("DROP "), 0) << sim.Log();
}

TEST_F(PortModeTest, SpeedChangeIsFollowedByBothEnds) {
    VirtualRadio& sim = Connect(kStuffedRadio);
    session.SetRadioBaud(115200);
    EXPECT_EQ(port.Settings().bitsPerSecond, 115200);
    ASSERT_TRUE(sim.WaitForLine("SPEED 115200", 1, 3000, &pump)) << sim.Log();
    VersionInfo info;
    ASSERT_EQ(ReadVersionInfo(session, 0, info, true), 1) << sim.Log();
    EXPECT_EQ(Hex(info), Hex(StuffedRadioVersions()));
    EXPECT_GT(sim.Find("RX 04 1C"), sim.Find("SPEED 115200")) << sim.Log();

    // Back to the low speed, as for a radio of type code 1.
    session.SetRadioBaud(19200);
    EXPECT_EQ(port.Settings().bitsPerSecond, 19200);
    ASSERT_TRUE(sim.WaitForLine("SPEED 19200", 1, 3000, &pump)) << sim.Log();
    uint8_t boot[2] = {};
    EXPECT_EQ(ReadBootVersion(session, 1, boot), 1) << sim.Log();
    EXPECT_EQ(boot[0], 6);
}

TEST_F(PortModeTest, SilentRadioIsNoAnswer) {
    VirtualRadio& sim = Connect(With(kStuffedRadio, {"--fault", "*:silent"}));
    uint8_t radioInfo[10] = {};
    const int64_t start = pump.NowMs();
    EXPECT_EQ(ReadRadioInfo(session, radioInfo), 2) << sim.Log();
    const int64_t waited = pump.NowMs() - start;
    EXPECT_GE(waited, 500);
    EXPECT_LT(waited, 2000);
    EXPECT_FALSE(session.Active());
    EXPECT_TRUE(session.Idle());
    EXPECT_EQ(sim.Count("SILENT 04 6F"), 1) << sim.Log();
}

TEST_F(PortModeTest, NotAvailableBootVersionIsAskedAgain) {
    VirtualRadio& sim = Connect(With(kStuffedRadio, {"--fault", "042D:0420,times=1"}));
    uint8_t boot[2] = {};
    EXPECT_EQ(ReadBootVersion(session, 0, boot), 1) << sim.Log();
    EXPECT_EQ(boot[0], 6);
    EXPECT_EQ(boot[1], 5);
    EXPECT_EQ(sim.Count("RX 04 2D"), 2) << sim.Log();
    EXPECT_EQ(sim.Count("TX 04 20"), 1) << sim.Log();
    EXPECT_EQ(sim.Count("TX 04 2E 06 05"), 1) << sim.Log();
}

TEST_F(PortModeTest, RadioThatOnlyEverSaysNotAvailableIsAskedABoundedNumberOfTimes) {
    VirtualRadio& sim = Connect(With(kStuffedRadio, {"--fault", "042D:0420"}));
    uint8_t boot[2] = {9, 9};
    EXPECT_EQ(ReadBootVersion(session, 1, boot), 1) << sim.Log();
    EXPECT_EQ(boot[0], 0);
    EXPECT_EQ(boot[1], 0);
    EXPECT_EQ(sim.Count("RX 04 2D"), timing::kMaxBootVersionAsks) << sim.Log();
    // The link is still usable afterwards.
    uint8_t kind = 0xFF;
    EXPECT_EQ(AskRadioKind(session, kind), 1) << sim.Log();
}

TEST_F(PortModeTest, DamagedFramesBeforeTheAnswerAreSkipped) {
    VirtualRadio& sim =
        Connect(With(kStuffedRadio, {"--fault", "*:noise=9,bad-checksum,wrong-h2"}));
    VersionInfo info;
    ASSERT_EQ(ReadVersionInfo(session, 0, info, true), 1) << sim.Log();
    EXPECT_EQ(Hex(info), Hex(StuffedRadioVersions()));
    uint8_t radioInfo[10] = {};
    ASSERT_EQ(ReadRadioInfo(session, radioInfo), 1) << sim.Log();
    EXPECT_EQ(radioInfo[3], 0xBA);
    EXPECT_EQ(sim.CountStartingWith("TX-BADH2 "), 8) << sim.Log();
}

TEST_F(PortModeTest, ProbeWithoutABoxHandsOverToPortMode) {
    // The connection code for a mobile radio on a one-processor machine: probe in device mode,
    // no box, close, reopen the same port through the component.
    StartRadio(With(kStuffedRadio, {"--kind", "mobile"}));
    std::string error;
    ASSERT_TRUE(session.Connect(ComPortPath::Resolve(radio->Com()), 19200, error)) << error;
    session.SetTimeout(500);
    ASSERT_FALSE(session.ProbeInterface());
    session.Close();

    ASSERT_TRUE(OpenPortMode(error)) << error;
    session.SetRadioBaud(115200);
    uint8_t kind = 0xFF;
    ASSERT_EQ(AskRadioKind(session, kind), 1) << radio->Log();
    EXPECT_EQ(kind, 0);
    EXPECT_TRUE(radio->WaitForLine("SPEED 115200", 1, 3000, &pump)) << radio->Log();
}

TEST_F(PortModeTest, CloseReleasesThePortAndAHeldPortIsRefused) {
    Connect(kStuffedRadio);
    uint8_t boot[2] = {};
    ASSERT_EQ(ReadBootVersion(session, 0, boot), 1);

    // While port mode holds the port, device mode cannot have it.
    std::string error;
    {
        CommSession other(pump, PosixSerialLine::Factory());
        EXPECT_FALSE(
            other.StartCommunication(ComPortPath::Resolve(radio->Com()), 19200, false, error));
    }

    session.Close();
    EXPECT_FALSE(port.IsOpen());
    // Closed means released: device mode opens it now, and the other way round.
    CommSession deviceSession(pump, PosixSerialLine::Factory());
    ASSERT_TRUE(
        deviceSession.StartCommunication(ComPortPath::Resolve(radio->Com()), 19200, false, error))
        << error;
    QtSerialLine secondPort;
    const std::string path = ComPortPath::Resolve(radio->Com());
    CommSession portSession(pump, PosixSerialLine::Factory());
    EXPECT_FALSE(portSession.OpenPortMode(secondPort, path, error));
    EXPECT_EQ(error, "The chosen COM port is in use or not available");
    deviceSession.Close();
    EXPECT_TRUE(portSession.OpenPortMode(secondPort, path, error)) << error;
    portSession.Close();
}

TEST_F(PortModeTest, MissingPortIsRefused) {
    TempComDir emptyDir;
    std::string error;
    EXPECT_FALSE(session.OpenPortMode(
        port, ComPortPath::Resolve(VirtualRadio::ComNumberForCurrentTest()), error));
    EXPECT_EQ(error, "The chosen COM port is in use or not available");
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(PortModeTest, RadioThatGoesAwayClosesThePortAndEndsTheWait) {
    VirtualRadio& sim = Connect(kStuffedRadio);
    uint8_t boot[2] = {};
    ASSERT_EQ(ReadBootVersion(session, 0, boot), 1);
    sim.Stop();

    session.SetTimeout(4000);
    session.SetActive(true);
    session.SendMessage(CommMessage::FromCode(0x04, 0x1C));
    const int64_t start = pump.NowMs();
    session.ReceiveAnyFrame();
    EXPECT_NE(session.ReplyStatus(), 1);
    EXPECT_LT(pump.NowMs() - start, 2000) << "a closed port ends the wait before its time-out";
}

}  // namespace
}  // namespace quillon::test
