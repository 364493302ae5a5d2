// The link session in device mode (the program's own serial device and the real-time event
// pump) against the virtual radio on a pseudo-terminal.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <memory>
#include <string>

#include "link/Comm.h"
#include "link/RadioQueries.h"
#include "serial/ComPortPath.h"
#include "serial/posix/PollEventPump.h"
#include "serial/posix/PosixSerialLine.h"
#include "tests/integration/RadioKindQuery.h"
#include "tests/integration/TestRadio.h"
#include "tests/integration/VirtualRadio.h"

namespace quillon::test {
namespace {

// CPU time of this process, user and system, in milliseconds.
int64_t CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_usec / 1000;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

class DeviceModeTest : public ::testing::Test {
protected:
    void SetUp() override { session.UseTimeoutTimer(*timer); }

    void TearDown() override {
        session.Close();
        radio.reset();
    }

    // Starts a radio and opens the session on it as the connection code does: 19200 bit/s, no
    // flow control, framed, active.
    VirtualRadio& Connect(const std::vector<std::string>& options) {
        // The radio before goes first: its COM directory gives $QUILLON_COM_DIR back as it
        // found it.
        radio.reset();
        radio = std::make_unique<VirtualRadio>(options, VirtualRadio::ComNumberForCurrentTest());
        EXPECT_TRUE(radio->Started()) << radio->ErrorText();
        std::string error = "not cleared";
        EXPECT_TRUE(session.Connect(ComPortPath::Resolve(radio->Com()), 19200, error)) << error;
        EXPECT_EQ(error, "");
        return *radio;
    }

    PollEventPump pump;
    std::unique_ptr<Timer> timer = pump.CreateTimer();
    CommSession session{pump, PosixSerialLine::Factory()};
    std::unique_ptr<VirtualRadio> radio;
};

TEST_F(DeviceModeTest, ReadsEveryVersionFieldAsTheRadioSendsIt) {
    VirtualRadio& sim = Connect(kStuffedRadio);
    VersionInfo info;
    ASSERT_EQ(ReadVersionInfo(session, 0, info, true), 1) << sim.Log();
    EXPECT_EQ(Hex(info), Hex(StuffedRadioVersions()));
    for (const char* request :
         {"RX 04 1C", "RX 04 0B", "RX 04 09", "RX 04 07", "RX 04 04", "RX 04 2D", "RX 04 3E"}) {
        EXPECT_EQ(sim.Count(request), 1) << request << "\n" << sim.Log();
    }
    EXPECT_EQ(sim.CountStartingWith("DROP "), 0) << sim.Log();
    EXPECT_TRUE(session.Active()) << "a completed exchange leaves the link active";
}

TEST_F(DeviceModeTest, SemVersionIsAskedOnlyWhereTheControllerRuleSaysSo) {
    // Controller 3: never asked, stays 0.0.
    VirtualRadio& three = Connect(With(kStuffedRadio, {"--controller-version", "3.0.0"}));
    VersionInfo info;
    ASSERT_EQ(ReadVersionInfo(session, 0, info, true), 1) << three.Log();
    EXPECT_EQ(info.ControllerVersion[0], 3);
    EXPECT_EQ(info.SEMVersion[0], 0);
    EXPECT_EQ(info.SEMVersion[1], 0);
    EXPECT_EQ(three.Count("RX 04 3E"), 0) << three.Log();
    session.Close();

    // Controller 6: asked for the listed radio type codes only, and only when wanted.
    VirtualRadio& six = Connect(With(kStuffedRadio, {"--controller-version", "6.1.1"}));
    ASSERT_EQ(ReadVersionInfo(session, 2, info, true), 1);
    EXPECT_EQ(six.Count("RX 04 3E"), 0) << "type code 2 is not among those asked";
    ASSERT_EQ(ReadVersionInfo(session, 8, info, false), 1);
    EXPECT_EQ(six.Count("RX 04 3E"), 0) << "not wanted";
    ASSERT_EQ(ReadVersionInfo(session, 8, info, true), 1);
    EXPECT_EQ(six.Count("RX 04 3E"), 1) << six.Log();
    EXPECT_EQ(info.SEMVersion[0], 1);
    EXPECT_EQ(info.SEMVersion[1], 0x7E);
}

TEST_F(DeviceModeTest, BootVersionRadioInformationAndKind) {
    VirtualRadio& portable = Connect(With(kStuffedRadio, {"--kind", "portable", "--hard-key"}));
    uint8_t boot[2] = {};
    EXPECT_EQ(ReadBootVersion(session, 0, boot), 1) << portable.Log();
    EXPECT_EQ(boot[0], 6);
    EXPECT_EQ(boot[1], 5);

    uint8_t info[10] = {};
    ASSERT_EQ(ReadRadioInfo(session, info), 1) << portable.Log();
    const uint8_t withKey[10] = {0x03, 0x10, 0x7E, 0xBA, 0, 0, 0, 0, 0, 0x09};
    EXPECT_EQ(sim::FormatHex(info, 10), sim::FormatHex(withKey, 10));

    uint8_t kind = 0xFF;
    ASSERT_EQ(AskRadioKind(session, kind), 1) << portable.Log();
    EXPECT_EQ(kind, 1);
    session.Close();

    // The hard-key bit alone cleared, the rest of byte 0 kept.
    VirtualRadio& mobile = Connect(With(kStuffedRadio, {"--kind", "mobile", "--radio-info",
                                                        "FF00000000000000FF00", "--no-hard-key"}));
    ASSERT_EQ(ReadRadioInfo(session, info), 1) << mobile.Log();
    EXPECT_EQ(info[0], 0xFD);
    EXPECT_EQ(info[8], 0xFF);
    ASSERT_EQ(AskRadioKind(session, kind), 1) << mobile.Log();
    EXPECT_EQ(kind, 0);
    // A radio type code whose boot version the workflow never asks still gets a real answer.
    EXPECT_EQ(ReadBootVersion(session, 8, boot), 1);
    EXPECT_EQ(boot[0], 6);
}

TEST_F(DeviceModeTest, SpeedChangeIsFollowedByBothEnds) {
    VirtualRadio& sim = Connect(kStuffedRadio);
    uint8_t boot[2] = {};
    ASSERT_EQ(ReadBootVersion(session, 0, boot), 1);

    session.SetRadioBaud(115200);
    ASSERT_TRUE(sim.WaitForLine("SPEED 115200")) << sim.Log();
    EXPECT_EQ(sim.Count("RX 09 00 05"), 1) << sim.Log();
    VersionInfo info;
    ASSERT_EQ(ReadVersionInfo(session, 0, info, true), 1) << sim.Log();
    EXPECT_EQ(Hex(info), Hex(StuffedRadioVersions()));
    // The radio switched before the next request reached it.
    const int speed = sim.Find("SPEED 115200");
    EXPECT_GT(sim.Find("RX 04 1C", speed), speed) << sim.Log();

    // A speed without a code of its own asks for 19200.
    session.SetRadioBaud(2400);
    ASSERT_TRUE(sim.WaitForLine("SPEED 19200")) << sim.Log();
    EXPECT_EQ(sim.Count("RX 09 00 01"), 1) << sim.Log();
    EXPECT_EQ(ReadBootVersion(session, 0, boot), 1) << sim.Log();
}

TEST_F(DeviceModeTest, ProbeFindsABox) {
    VirtualRadio& sim = Connect(With(kStuffedRadio, {"--box", "--box-data", "0A0B0C0D"}));
    session.SetTimeout(500);
    EXPECT_TRUE(session.ProbeInterface()) << sim.Log();
    EXPECT_EQ(sim.Count("RX-PROBE 09 01 77 77 77"), 1) << sim.Log();
    EXPECT_EQ(session.Framing(), 1u);
    // Framed again: the next request is a normal one.
    uint8_t boot[2] = {};
    EXPECT_EQ(ReadBootVersion(session, 0, boot), 1) << sim.Log();
}

TEST_F(DeviceModeTest, ProbeWithoutABoxEndsAtItsTimeOut) {
    VirtualRadio& sim = Connect(kStuffedRadio);
    session.SetTimeout(500);
    const int64_t start = pump.NowMs();
    EXPECT_FALSE(session.ProbeInterface());
    const int64_t waited = pump.NowMs() - start;
    EXPECT_GE(waited, 500);
    EXPECT_LT(waited, 2000);
    EXPECT_FALSE(session.Active());
    EXPECT_EQ(session.ReplyStatus(), 4);
    ASSERT_TRUE(sim.WaitForLine("RX-PROBE 09 01 77 77 77")) << sim.Log();

    // The radio behind is still there for a session that goes on.
    session.SetActive(true);
    uint8_t kind = 0;
    EXPECT_EQ(AskRadioKind(session, kind), 1) << sim.Log();
}

TEST_F(DeviceModeTest, SilentRadioEndsWithStatusFourAtTheTimeOut) {
    VirtualRadio& sim = Connect(With(kStuffedRadio, {"--fault", "*:silent"}));
    uint8_t info[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    const int64_t start = pump.NowMs();
    EXPECT_EQ(ReadRadioInfo(session, info), 4);
    const int64_t waited = pump.NowMs() - start;
    EXPECT_GE(waited, 500);
    EXPECT_LT(waited, 2000);
    EXPECT_EQ(info[0], 0);
    EXPECT_FALSE(session.Active());
    EXPECT_EQ(sim.Count("SILENT 04 6F"), 1) << sim.Log();

    // Until a caller sets Active again, every wait ends at once.
    const int64_t again = pump.NowMs();
    session.SendMessage(CommMessage::FromCode(0x04, 0x2D));
    session.ReceiveAnyFrame();
    EXPECT_EQ(session.ReplyStatus(), 4);
    EXPECT_LT(pump.NowMs() - again, 200);
}

TEST_F(DeviceModeTest, NotAvailableAnswersStoreZerosWithoutAskingAgain) {
    VirtualRadio& sim = Connect(With(kStuffedRadio, {"--fault", "042D:0420"}));
    VersionInfo info;
    ASSERT_EQ(ReadVersionInfo(session, 1, info, true), 1) << sim.Log();
    VersionInfo expected = StuffedRadioVersions();
    expected.BootVersion[0] = 0;
    expected.BootVersion[1] = 0;
    EXPECT_EQ(Hex(info), Hex(expected)) << "only the boot version is missing; SEM still asked";

    uint8_t boot[2] = {9, 9};
    EXPECT_EQ(ReadBootVersion(session, 0, boot), 1);
    EXPECT_EQ(boot[0], 0);
    EXPECT_EQ(boot[1], 0);
    EXPECT_EQ(sim.Count("RX 04 2D"), 2) << "one request per query in device mode\n" << sim.Log();
    EXPECT_EQ(sim.Count("TX 04 20"), 2) << sim.Log();
}

TEST_F(DeviceModeTest, DamagedFramesBeforeTheAnswerAreSkipped) {
    VirtualRadio& sim =
        Connect(With(kStuffedRadio, {"--fault", "*:noise=9,bad-checksum,wrong-h2,delay=50"}));
    VersionInfo info;
    ASSERT_EQ(ReadVersionInfo(session, 0, info, true), 1) << sim.Log();
    EXPECT_EQ(Hex(info), Hex(StuffedRadioVersions()));
    // The radio information takes any frame: only the good one may get through.
    uint8_t radioInfo[10] = {};
    ASSERT_EQ(ReadRadioInfo(session, radioInfo), 1) << sim.Log();
    EXPECT_EQ(radioInfo[1], 0x10);
    EXPECT_EQ(radioInfo[9], 0x09);
    uint8_t kind = 0;
    EXPECT_EQ(AskRadioKind(session, kind), 1) << sim.Log();
    EXPECT_EQ(kind, 1);
    // Every answer really came behind noise, a bad checksum and a wrong header.
    for (const char* fault : {"NOISE ", "TX-BADSUM ", "TX-BADH2 "}) {
        EXPECT_EQ(sim.CountStartingWith(fault), 9) << fault << "\n" << sim.Log();
    }
}

TEST_F(DeviceModeTest, RadioThatGoesAwayEndsTheWaitWithoutSpinning) {
    VirtualRadio& sim = Connect(kStuffedRadio);
    uint8_t boot[2] = {};
    ASSERT_EQ(ReadBootVersion(session, 0, boot), 1);
    sim.Stop();

    uint8_t info[10] = {};
    const int64_t start = pump.NowMs();
    const int64_t cpuStart = CpuMs();
    EXPECT_NE(ReadRadioInfo(session, info), 1);
    const int64_t waited = pump.NowMs() - start;
    const int64_t cpu = CpuMs() - cpuStart;
    EXPECT_LT(waited, 2000);
    // A hung-up line must not turn the wait into a busy loop.
    EXPECT_LT(cpu, waited / 4 + 20) << cpu << " ms of CPU in " << waited << " ms";
    EXPECT_NE(session.ReplyStatus(), 1);
}

TEST_F(DeviceModeTest, MissingPortIsRefused) {
    TempComDir emptyDir;
    std::string error;
    EXPECT_FALSE(session.StartCommunication(
        ComPortPath::Resolve(VirtualRadio::ComNumberForCurrentTest()), 19200, false, error));
    EXPECT_EQ(error, "Unable to start communication: COM port error");
    // Nothing to wait on: a receive ends at once instead of running into its time-out.
    session.SetActive(true);
    session.SetTimeout(1000);
    const int64_t start = pump.NowMs();
    auto message = std::make_unique<CommMessage>();
    EXPECT_EQ(session.Receive(*message), -1);
    EXPECT_LT(pump.NowMs() - start, 500);
}

}  // namespace
}  // namespace quillon::test
