#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "link/Comm.h"
#include "link/RadioQueries.h"
#include "serial/PollEventPump.h"
#include "tests/link/sim/SimRadio.h"

namespace quillon::test {
namespace {

const std::vector<std::string> kRadio{"--codeplug-format",
                                      "5.9",
                                      "--dsp-version",
                                      "7.8.9",
                                      "--controller-version",
                                      "6.1.2",
                                      "--hardware-revision",
                                      "3.4.5",
                                      "--serial",
                                      "0011223344556677",
                                      "--boot-version",
                                      "6.5",
                                      "--sem-version",
                                      "1.4",
                                      "--radio-info",
                                      "01000000000000000009"};

std::vector<std::string> With(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

// A device-mode session on the radio's COM port, opened as the connection code does.
class DeviceModeSim : public ::testing::Test {
protected:
    void Connect(SimRadio& radio) {
        ASSERT_TRUE(radio.Started()) << radio.ErrorText();
        session.UseTimeoutTimer(*timer);
        std::string error;
        ASSERT_TRUE(session.StartCommunication(SimRadio::kCom, 19200, false, error)) << error;
        session.SetFraming(1);
        session.SetActive(true);
    }

    PollEventPump pump;
    CommSession session{pump};
    std::unique_ptr<Timer> timer = pump.CreateTimer();
};

TEST_F(DeviceModeSim, EveryQueryAtBothSpeeds) {
    SimRadio radio(With(kRadio, {"--kind", "mobile", "--hard-key"}));
    Connect(radio);
    for (int32_t speed : {19200, 115200}) {
        session.SetRadioBaud(speed);
        session.SetActive(true);
        VersionInfo info;
        ASSERT_EQ(ReadVersionInfo(session, 8, info, true), 1) << speed << "\n" << radio.Log();
        const uint8_t expected[23] = {5,    9,    7,    8,    9,    6,    1,    2, 3, 4, 5, 0x00,
                                      0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 6, 5, 1, 4};
        EXPECT_EQ(0, std::memcmp(&info, expected, 23)) << speed;

        uint8_t boot[2] = {};
        EXPECT_EQ(ReadBootVersion(session, 8, boot), 1);
        EXPECT_EQ(boot[0], 6);
        EXPECT_EQ(boot[1], 5);

        uint8_t radioInfo[10] = {};
        EXPECT_EQ(ReadRadioInfo(session, radioInfo), 1);
        EXPECT_EQ(radioInfo[0], 0x03) << "hard-key bit set on top of byte 0";
        EXPECT_EQ(radioInfo[9], 0x09);

        // The radio kind, as the portable/mobile check asks it.
        session.SetTimeout(500);
        session.SendMessage(CommMessage::FromCode(0x04, 0x67));
        CommMessage kind;
        ASSERT_EQ(session.Receive(kind), 1);
        EXPECT_TRUE(kind.HasCode(0x04, 0x68));
        EXPECT_EQ(kind.Length, 3);
        EXPECT_EQ(kind.Data[2], 0) << "mobile";
    }
    EXPECT_EQ(radio.Count("SPEED 115200"), 1) << radio.Log();
}

TEST_F(DeviceModeSim, ProbeWithAndWithoutABox) {
    {
        SimRadio box(With(kRadio, {"--box", "--box-data", "0A0B0C0D"}));
        Connect(box);
        session.SetTimeout(500);
        EXPECT_TRUE(session.ProbeInterface()) << box.Log();
        EXPECT_EQ(session.Framing(), 1u);
        session.Close();
    }
    SimRadio radio(kRadio);
    Connect(radio);
    session.SetTimeout(500);
    const int64_t start = pump.NowMs();
    EXPECT_FALSE(session.ProbeInterface());
    EXPECT_GE(pump.NowMs() - start, 500);
    EXPECT_EQ(radio.Count("RX-PROBE 09 01 77 77 77"), 1) << radio.Log();
    // The link still works after the probe.
    session.SetActive(true);
    uint8_t boot[2] = {};
    EXPECT_EQ(ReadBootVersion(session, 0, boot), 1);
}

TEST_F(DeviceModeSim, FaultyAnswersAreSkippedAndNotAvailableIsNotAskedAgain) {
    SimRadio radio(
        With(kRadio, {"--fault", "04:noise=5,bad-checksum,wrong-h2", "--fault", "042D:0420"}));
    Connect(radio);
    VersionInfo info;
    EXPECT_EQ(ReadVersionInfo(session, 0, info, false), 1) << radio.Log();
    EXPECT_EQ(info.SerialNumber[7], 0x77);
    EXPECT_EQ(info.BootVersion[0], 0) << "04 20 stores zeros";

    uint8_t boot[2] = {9, 9};
    EXPECT_EQ(ReadBootVersion(session, 0, boot), 1);
    EXPECT_EQ(boot[0], 0);
    EXPECT_EQ(radio.Count("RX 04 2D"), 2) << "one ask per query in device mode";
}

TEST_F(DeviceModeSim, SilentRadioEndsWithTheTimeOut) {
    SimRadio radio(With(kRadio, {"--fault", "*:silent"}));
    Connect(radio);
    session.SetTimeout(300);
    session.SendMessage(CommMessage::FromCode(0x04, 0x1C));
    const int64_t start = pump.NowMs();
    session.ReceiveAnyFrame();
    EXPECT_EQ(session.ReplyStatus(), 4);
    EXPECT_GE(pump.NowMs() - start, 300);
    EXPECT_LT(pump.NowMs() - start, 1000);
    EXPECT_FALSE(session.Active());
}

}  // namespace
}  // namespace quillon::test
