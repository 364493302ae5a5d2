#include <gtest/gtest.h>

#include "link/Comm.h"
#include "tests/link/LinkFixture.h"

namespace quillon::test {
namespace {

const CommMessage kFileFormatReply = CommMessage::FromCode(0x04, 0x1D);
const CommMessage kNotAvailable = CommMessage::FromCode(0x04, 0x20);

class CommSessionTest : public LinkFixture {
protected:
    // Sends 04 1C and waits for 04 1D (4 bytes) or 04 20 (2 bytes).
    CommMessage AskFileFormat(int& which) {
        session.SendMessage(CommMessage::FromCode(0x04, 0x1C));
        session.SetActive(true);
        return session.ReceiveReply(kFileFormatReply, 4, kNotAvailable, 2, which);
    }
};

TEST_F(CommSessionTest, DeviceModeOpensWithTheSpeedAndFlowFlag) {
    std::string error = "stale";
    ASSERT_TRUE(session.StartCommunication("/dev/com12", 115200, true, error));
    EXPECT_EQ(error, "");
    ASSERT_EQ(line->opens.size(), 1u);
    EXPECT_EQ(line->opens[0].path, "/dev/com12");
    EXPECT_EQ(line->opens[0].settings.bitsPerSecond, 115200);
    EXPECT_TRUE(line->opens[0].settings.flowControl);
    EXPECT_FALSE(line->opens[0].settings.rs485);
    EXPECT_FALSE(session.Active()) << "opening leaves the link inactive";
    EXPECT_FALSE(session.PortMode());
    ASSERT_EQ(session.Line(), line);

    session.Close();
    EXPECT_EQ(session.Line(), nullptr);
    // Each opening makes a fresh line.
    ASSERT_TRUE(session.StartCommunication("/dev/com12", 2400, false, error));
    EXPECT_EQ(linesMade, 2);
}

TEST_F(CommSessionTest, DeviceModeOpenFailuresGiveThePortErrorText) {
    std::string error;
    openSucceeds = false;
    EXPECT_FALSE(session.StartCommunication("/dev/com3", 19200, false, error));
    EXPECT_EQ(error, "Unable to start communication: COM port error");

    CommSession throwing(
        pump, []() -> std::unique_ptr<SerialLine> { throw std::runtime_error("no line"); });
    error.clear();
    EXPECT_FALSE(throwing.StartCommunication("/dev/com3", 19200, false, error));
    EXPECT_EQ(error, "Unable to start communication: COM port error");
}

TEST_F(CommSessionTest, PortModeOpenReportsLineErrors) {
    using Reason = OpenFailure::Reason;
    const std::pair<Reason, const char*> cases[] = {
        {Reason::InUse, "The chosen COM port is in use or not available"},
        {Reason::NoSuchDevice, "The chosen COM port is in use or not available"},
        {Reason::PermissionDenied, "The chosen COM port is in use or not available"},
        {Reason::Other, "Unable to start communication: COM port error"},
        {Reason::None, ""},
    };
    for (const auto& [reason, text] : cases) {
        port.refuse = reason;
        std::string error = "stale";
        EXPECT_EQ(session.OpenPortMode(port, "/dev/com7", error), reason == Reason::None);
        EXPECT_EQ(error, text);
    }
    EXPECT_TRUE(session.PortMode());
    EXPECT_EQ(session.Line(), &port);
    EXPECT_TRUE(port.opens.back().settings.rs485);
    EXPECT_EQ(port.opens.back().settings.bitsPerSecond, 19200);
}

TEST_F(CommSessionTest, ReceiveReplyPicksAOrBAndStripsTheFrame) {
    OpenDeviceMode();
    radio.Answer({0x04, 0x1C}, {0x04, 0x1D, 0x05, 0x0B});
    int which = -1;
    CommMessage reply = AskFileFormat(which);
    EXPECT_EQ(session.ReplyStatus(), 1);
    EXPECT_EQ(which, 0);
    EXPECT_EQ(reply.Length, 4);
    EXPECT_EQ(Bytes(reply.Data, reply.Data + 4), (Bytes{0x04, 0x1D, 0x05, 0x0B}));
    EXPECT_TRUE(session.Active()) << "a reply leaves the link active";
    EXPECT_FALSE(timer->IsActive()) << "the timer stops with the reply";

    radio.Answer({0x04, 0x1C}, {0x04, 0x20});  // second answer for the next ask
    radio.Answer({0x04, 0x1C}, {0x04, 0x20});
    reply = AskFileFormat(which);
    EXPECT_EQ(session.ReplyStatus(), 1);
    EXPECT_EQ(which, 0) << "the first scripted answer is still 04 1D";
    reply = AskFileFormat(which);
    EXPECT_EQ(which, 1);
    EXPECT_EQ(reply.Length, 2);
}

TEST_F(CommSessionTest, IgnoresFramesThatAreNotTheExpectedReply) {
    OpenDeviceMode();
    Bytes noise{0x00, 0x7E, 0x12, 0xBA, 0x01};
    const Bytes h2 = RadioFrame({0x04, 0x1D, 0x05, 0x0B}, 0x01);
    const Bytes bad = RadioFrame({0x04, 0x1D, 0x05, 0x0B}, 0x7F, 3);
    const Bytes other = RadioFrame({0x04, 0x0A, 1, 2, 3});
    const Bytes good = RadioFrame({0x04, 0x1D, 0x05, 0x0A});
    for (const Bytes* part : {&h2, &bad, &other, &good}) {
        noise.insert(noise.end(), part->begin(), part->end());
    }
    radio.AnswerRaw({0x04, 0x1C}, noise);
    int which = -1;
    const CommMessage reply = AskFileFormat(which);
    ASSERT_EQ(session.ReplyStatus(), 1);
    EXPECT_EQ(reply.Data[3], 0x0A) << "only the good frame is taken";
    EXPECT_EQ(radio.BytesRead(), static_cast<int64_t>(noise.size()));
}

TEST_F(CommSessionTest, WrongLengthIsIgnoredUntilTheTimeOutInDeviceMode) {
    OpenDeviceMode();
    session.SetTimeout(4000);
    radio.Answer({0x04, 0x1C}, {0x04, 0x1D, 0x05});  // one data byte short
    const int64_t start = pump.NowMs();
    int which = 7;
    AskFileFormat(which);
    EXPECT_EQ(session.ReplyStatus(), 4) << "a device-mode time-out is never 2";
    EXPECT_EQ(which, -1);
    EXPECT_EQ(pump.NowMs() - start, 4000);
    EXPECT_FALSE(session.Active());
    EXPECT_TRUE(session.Idle());
    EXPECT_LT(pump.WaitCount(), 10) << "the wait sleeps instead of polling";
}

TEST_F(CommSessionTest, WrongLengthIsIgnoredUntilTheTimeOutInPortMode) {
    OpenPortMode();
    session.SetTimeout(500);
    radio.Answer({0x04, 0x1C}, {0x04, 0x1D, 0x05, 0x0B, 0x00});  // one byte too many
    int which = 0;
    AskFileFormat(which);
    EXPECT_EQ(session.ReplyStatus(), 2) << "nothing was arriving when the wait ended";
    EXPECT_EQ(pump.NowMs(), 500);
}

TEST_F(CommSessionTest, PortModeTimeOutWhileBytesArriveIsStatus4) {
    OpenPortMode();
    session.SetTimeout(500);
    // Bytes keep coming, one per millisecond, past the end of the wait.
    radio.SetReadCostMs(1);
    radio.Deliver(Bytes(2000, 0x55));
    const CommMessage reply = session.ReceiveAnyFrame();
    EXPECT_EQ(session.ReplyStatus(), 4);
    EXPECT_EQ(reply.Length, 0);
    EXPECT_EQ(pump.NowMs(), 500);
}

TEST_F(CommSessionTest, AfterATimeOutLaterWaitsEndAtOnce) {
    OpenDeviceMode();
    session.SetTimeout(4000);
    session.ReceiveAnyFrame();
    ASSERT_FALSE(session.Active());
    const int64_t endOfFirst = pump.NowMs();
    const int64_t waits = pump.WaitCount();

    radio.Deliver(RadioFrame({0x04, 0x1D, 0x05, 0x0B}), 0);  // even with a reply waiting
    CommMessage message;
    EXPECT_EQ(session.Receive(message), -1);
    EXPECT_EQ(session.ReplyStatus(), 4);
    EXPECT_EQ(pump.NowMs(), endOfFirst);
    EXPECT_EQ(pump.WaitCount(), waits);
    EXPECT_FALSE(session.Active()) << "only a caller sets Active again";

    session.SetActive(true);
    EXPECT_EQ(session.Receive(message), 1);
    EXPECT_EQ(message.Length, 4);
}

TEST_F(CommSessionTest, ReceiveCopiesOutOnlyOnSuccess) {
    OpenDeviceMode();
    session.SetTimeout(100);
    CommMessage message = CommMessage::FromCode(0xAA, 0xBB);
    EXPECT_EQ(session.Receive(message), -1);
    EXPECT_TRUE(message.HasCode(0xAA, 0xBB));
}

TEST_F(CommSessionTest, AClosedTransportEndsTheWaitAtOnce) {
    OpenDeviceMode();
    session.SetTimeout(4000);
    line->Close();
    session.ReceiveAnyFrame();
    EXPECT_EQ(session.ReplyStatus(), 4);
    EXPECT_EQ(pump.NowMs(), 0);
    EXPECT_TRUE(session.Active()) << "a closed port is no time-out";
}

TEST_F(CommSessionTest, ClosingTheLinkFromAnEventDuringAWaitEndsTheWait) {
    // An event handled inside the wait (the window closing, say) closes the link: the wait
    // must end without touching the device that is gone.
    OpenDeviceMode();
    line->waitHandle = 42;
    session.SetTimeout(4000);
    bool waiting = false;
    bool closed = false;
    const int wake = pump.AddWakeSource([&] {
        waiting = true;
        return pump.NowMs();
    });
    const int hook = pump.AddEventHook([&] {
        if (waiting && !closed) {
            closed = true;
            session.Close();
        }
    });
    session.ReceiveAnyFrame();
    pump.RemoveEventHook(hook);
    pump.RemoveWakeSource(wake);
    EXPECT_TRUE(closed);
    EXPECT_EQ(session.Line(), nullptr);
    EXPECT_EQ(session.ReplyStatus(), 4);
    EXPECT_EQ(pump.NowMs(), 0);
}

TEST_F(CommSessionTest, StopClearingActiveEndsAWait) {
    OpenPortMode();
    session.SetTimeout(64000);
    auto stop = pump.CreateTimer();
    stop->SetInterval(1500);
    stop->SetCallback([&] {
        session.SetActive(false);
        stop->Stop();
    });
    stop->Start();
    session.ReceiveAnyFrame();
    EXPECT_EQ(pump.NowMs(), 1500);
    EXPECT_EQ(session.ReplyStatus(), 2);
}

TEST_F(CommSessionTest, WithoutATimerTheSessionEndsItsOwnWaits) {
    CommSession bare(pump, [this] { return MakeLine(); });
    std::string error;
    ASSERT_TRUE(bare.StartCommunication("/dev/com1", 19200, false, error));
    bare.SetActive(true);
    bare.SetTimeout(750);
    bare.ReceiveAnyFrame();
    EXPECT_EQ(pump.NowMs(), 750);
    EXPECT_FALSE(bare.Active());
    EXPECT_EQ(bare.ReplyStatus(), 4);
}

TEST_F(CommSessionTest, SetRadioBaudSendsTheSpeedCodeThenSwitchesLocally) {
    OpenDeviceMode();
    session.SetRadioBaud(19200);
    session.SetRadioBaud(2400);
    session.SetRadioBaud(115200);
    session.SetRadioBaud(9600);
    ASSERT_EQ(radio.Requests().size(), 4u);
    EXPECT_EQ(radio.Requests()[0], (Bytes{0x09, 0x00, 0x01}));
    EXPECT_EQ(radio.Requests()[1], (Bytes{0x09, 0x00, 0x01})) << "unknown speeds ask 19200";
    EXPECT_EQ(radio.Requests()[2], (Bytes{0x09, 0x00, 0x05}));
    EXPECT_EQ(radio.Requests()[3], (Bytes{0x09, 0x00, 0x00}));
    // Device mode: the radio gets 100 ms to switch before our side follows.
    const auto& speeds = line->speeds;
    ASSERT_EQ(speeds.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(speeds[i].first, radio.WriteTimes()[i] + 100);
    }
    EXPECT_EQ(speeds[0].second, 19200);
    EXPECT_EQ(speeds[1].second, 2400);
    EXPECT_EQ(speeds[2].second, 115200);
    EXPECT_EQ(speeds[3].second, 9600);
}

TEST_F(CommSessionTest, SetRadioBaudInPortModeSwitchesWithoutWaiting) {
    OpenPortMode();
    session.SetLocalBaud(19200);
    session.SetRadioBaud(115200);
    EXPECT_EQ(radio.Requests().back(), (Bytes{0x09, 0x00, 0x05}));
    EXPECT_EQ(port.Settings().bitsPerSecond, 115200);
    EXPECT_EQ(pump.NowMs(), 0);
    EXPECT_EQ(port.log.back(), "speed 115200");
}

TEST_F(CommSessionTest, SetRadioBaudInPortModeWaitsForTheSpeedFrameToLeave) {
    OpenPortMode();
    // The line still holds the 09 00 frame for 30 ms after it was queued.
    port.unsent = [this] { return pump.NowMs() < 30 ? 8 : 0; };
    session.SetRadioBaud(115200);
    EXPECT_EQ(radio.Requests().back(), (Bytes{0x09, 0x00, 0x05}));
    ASSERT_FALSE(port.speeds.empty());
    EXPECT_EQ(port.speeds.back(), (std::pair<int64_t, int32_t>{30, 115200}));
    EXPECT_GE(pump.NowMs(), 30) << "the speed changed while the frame was still queued";
    EXPECT_LT(pump.WaitCount(), 40) << "the wait spins";
}

TEST_F(CommSessionTest, ProbeFindsABoxThatAnswers0902) {
    OpenDeviceMode();
    session.SetTimeout(500);
    radio.SetResponder([](FakeRadio& r, const Bytes& payload, uint8_t h2) {
        if (h2 == 0x4F && payload == Bytes{0x09, 0x01, 0x77, 0x77, 0x77}) {
            r.Deliver(RadioFrame({0x09, 0x02, 0x10, 0x20, 0x30, 0x40}), 3);
        }
    });
    EXPECT_TRUE(session.ProbeInterface());
    EXPECT_EQ(radio.Written(), (Bytes{0xBA, 0x7F, 0x4F, 0x09, 0x01, 0x77, 0x77, 0x77, 0xC3, 0x7E}));
    EXPECT_EQ(session.Framing(), 1u) << "framing is back on after the raw probe";
    EXPECT_EQ(pump.NowMs(), 3);
}

TEST_F(CommSessionTest, ProbeWithoutABoxIsFalseAfterTheTimeOut) {
    OpenDeviceMode();
    session.SetTimeout(500);
    EXPECT_FALSE(session.ProbeInterface());
    EXPECT_EQ(pump.NowMs(), 500);

    // A 09 02 of the wrong length is no box either.
    session.SetActive(true);
    radio.SetResponder([](FakeRadio& r, const Bytes&, uint8_t) {
        r.Deliver(RadioFrame({0x09, 0x02, 0x10}), 3);
    });
    EXPECT_FALSE(session.ProbeInterface());
}

TEST_F(CommSessionTest, RawSendTakesLengthBytesUnchanged) {
    OpenDeviceMode();
    rawSendExpected = true;
    session.SetFraming(0);
    CommMessage m;
    m.Length = 3;
    m.Data[0] = 0xBA;
    m.Data[1] = 0x10;
    m.Data[2] = 0x7E;
    EXPECT_EQ(session.SendMessage(m), 3);
    EXPECT_EQ(radio.Written(), (Bytes{0xBA, 0x10, 0x7E}));
    EXPECT_TRUE(radio.Requests().empty());
}

TEST_F(CommSessionTest, SendCodeBuildsTheMessage) {
    OpenDeviceMode();
    const uint8_t data[] = {0xDE, 0xAD};
    EXPECT_EQ(session.SendCode2(0x03, 0x0C, data, 2), 9) << "device mode returns Write's result";
    EXPECT_EQ(session.SendCode1(0x07, nullptr, 0), 6);
    EXPECT_EQ(session.SendCode1(0x07, data, 1), 7);
    ASSERT_EQ(radio.Requests().size(), 3u);
    EXPECT_EQ(radio.Requests()[0], (Bytes{0x03, 0x0C, 0xDE, 0xAD}));
    EXPECT_EQ(radio.Requests()[1], (Bytes{0x07}));
    EXPECT_EQ(radio.Requests()[2], (Bytes{0x07, 0xDE}));
}

TEST_F(CommSessionTest, PortModeSendWaitsWhileTheLineTakesNothing) {
    OpenPortMode();
    // The line takes nothing (its buffer full, or CTS asserted) until 80 ms.
    port.writable = [this] { return pump.NowMs() >= 80; };
    EXPECT_EQ(session.SendChecked(CommMessage::FromCode(0x04, 0x1C)), 1);
    ASSERT_EQ(radio.WriteTimes().size(), 1u);
    EXPECT_GE(radio.WriteTimes()[0], 80);
    EXPECT_LT(radio.WriteTimes()[0], 100);
    EXPECT_LT(pump.WaitCount(), 40) << "the send sleeps between looks";

    port.writeError = 5;
    EXPECT_EQ(session.SendChecked(CommMessage::FromCode(0x04, 0x1C)), -1);
    EXPECT_EQ(session.SendMessage(CommMessage::FromCode(0x04, 0x1C)), -1);
}

TEST_F(CommSessionTest, PortModeSendGivesUpOnALineThatStaysBlocked) {
    OpenPortMode();
    port.writable = [] { return false; };
    EXPECT_EQ(session.SendChecked(CommMessage::FromCode(0x04, 0x1C)), -1);
    EXPECT_EQ(pump.NowMs(), CommSession::kTransmitWaitLimitMs);
    EXPECT_TRUE(radio.Written().empty());
}

TEST_F(CommSessionTest, PortModeCloseDrainsThenCloses) {
    OpenPortMode();
    port.unsent = [this] { return pump.NowMs() < 40 ? 100 : 0; };
    timer->SetInterval(100000);
    timer->Start();
    port.log.clear();
    session.Close();
    EXPECT_GE(pump.NowMs(), 40);
    EXPECT_FALSE(timer->IsActive());
    EXPECT_EQ(port.log, (std::vector<std::string>{"close"}));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(session.PortMode()) << "the connection was port mode";
    session.Close();  // closing again does nothing
    EXPECT_EQ(port.log.size(), 1u);
}

TEST_F(CommSessionTest, SendingWithoutAnOpenLineFails) {
    EXPECT_EQ(session.SendChecked(CommMessage::FromCode(0x04, 0x1C)), -1);
    std::string error;
    ASSERT_TRUE(session.OpenPortMode(port, "/dev/com7", error));
    session.Close();
    EXPECT_EQ(session.SendChecked(CommMessage::FromCode(0x04, 0x1C)), -1);
}

TEST(CommSessionWordSum, BigEndianWordsModulo65536) {
    const uint8_t block[] = {0x12, 0x34, 0xFF, 0xFF, 0x00, 0x02};
    EXPECT_EQ(CommSession::WordSum(block, 6), 0x1235);  // 0x1234 + 0xFFFF + 0x0002
    EXPECT_EQ(CommSession::WordSum(block, 2), 0x1234);
    EXPECT_EQ(CommSession::WordSum(block, 0), 0);
    EXPECT_EQ(CommSession::WordSum(block, 3), 0x1234) << "a trailing odd byte is left out";
}

}  // namespace
}  // namespace quillon::test
