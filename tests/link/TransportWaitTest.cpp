// Waits the session makes on a line in either mode: a cancelled wait ends at once, a stalled
// device-mode line is waited on through the pump and given up after the limit, and the trace
// records what went over the link.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/Comm.h"
#include "serial/CancelFlag.h"
#include "tests/link/LinkFixture.h"

namespace quillon::test {
namespace {

class MemoryTrace : public TraceSink {
public:
    void Line(const std::string& text) override { lines.push_back(text); }
    std::string All() const {
        std::string all;
        for (const auto& line : lines) {
            all += line + "\n";
        }
        return all;
    }
    std::vector<std::string> lines;
};

class TransportWaitTest : public LinkFixture {
protected:
    void Open(bool portMode) {
        if (portMode) {
            OpenPortMode();
        } else {
            OpenDeviceMode();
        }
    }
    // Sets the flag at `atMs` on the virtual clock.
    std::unique_ptr<Timer> CancelAt(int atMs) {
        auto t = pump.CreateTimer();
        Timer* raw = t.get();
        t->SetCallback([this, raw] {
            flag.Cancel();
            raw->Stop();
        });
        t->SetInterval(atMs);
        t->Start();
        return t;
    }

    CancelFlag flag;
};

TEST_F(TransportWaitTest, ACancelledReceiveEndsAtOnceInEitherMode) {
    for (const bool portMode : {false, true}) {
        SCOPED_TRACE(portMode ? "port mode" : "device mode");
        Open(portMode);
        session.SetCancelFlag(&flag);
        session.SetTimeout(80000);
        flag.Reset();
        const int64_t start = pump.NowMs();
        auto canceller = CancelAt(300);
        session.ReceiveAnyFrame();
        EXPECT_EQ(pump.NowMs() - start, 300);
        EXPECT_FALSE(session.Active());
        EXPECT_EQ(session.ReplyStatus(), 4) << "a cancelled wait is never 'no answer'";
        EXPECT_FALSE(timer->IsActive());

        // Still set: the next wait does not start at all.
        session.SetActive(true);
        const int64_t again = pump.NowMs();
        session.ReceiveAnyFrame();
        EXPECT_EQ(pump.NowMs(), again);
        EXPECT_EQ(session.ReplyStatus(), 4);
        session.Close();
    }
}

TEST_F(TransportWaitTest, DeviceModeWriteWaitsThroughThePumpForAStalledLine) {
    OpenDeviceMode();
    // The line takes nothing for 250 ms; the far end tells the virtual clock when it drains.
    line->writable = [this] { return pump.NowMs() >= 250; };
    const int drained =
        pump.AddWakeSource([this] { return pump.NowMs() < 250 ? 250 : VirtualEventPump::kNever; });
    const int64_t waitsBefore = pump.WaitCount();
    const int sent = session.SendMessage(CommMessage::FromCode(0x04, 0x1C));
    EXPECT_GT(sent, 0);
    EXPECT_GE(pump.NowMs(), 250);
    EXPECT_LT(pump.NowMs(), 260);
    EXPECT_GT(pump.WaitCount(), waitsBefore) << "the write waited through the pump";
    EXPECT_LT(pump.WaitCount() - waitsBefore, 100) << "and slept between looks";
    ASSERT_EQ(radio.WriteTimes().size(), 1u);
    pump.RemoveWakeSource(drained);

    // A line that never takes anything is given up after the limit.
    line->writable = [] { return false; };
    const int64_t start = pump.NowMs();
    EXPECT_EQ(session.SendMessage(CommMessage::FromCode(0x04, 0x1C)), 0);
    EXPECT_EQ(pump.NowMs() - start, CommSession::kTransmitWaitLimitMs);

    // Cancelling ends that wait too.
    session.SetCancelFlag(&flag);
    const int64_t cancelStart = pump.NowMs();
    auto canceller = CancelAt(40);
    EXPECT_EQ(session.SendMessage(CommMessage::FromCode(0x04, 0x1C)), 0);
    EXPECT_LE(pump.NowMs() - cancelStart, 45);
}

TEST_F(TransportWaitTest, TraceRecordsFramesWithTheirNamesAndTheEndsOfWaits) {
    MemoryTrace trace;
    session.SetTrace(&trace);
    OpenDeviceMode();
    radio.Answer({0x04, 0x1C}, {0x04, 0x1D, 0x05, 0x0B});
    session.SendMessage(CommMessage::FromCode(0x04, 0x1C));
    session.SetActive(true);
    session.ReceiveAnyFrame();
    session.SetTimeout(500);
    session.ReceiveAnyFrame();  // nothing more comes
    session.SetLocalBaud(57600);
    session.Close();

    const std::string all = trace.All();
    const std::vector<std::string> expected = {
        "0 OPEN /dev/com7 device mode 19200 bit/s",
        "0 TX BA 7F 01 04 1C 60 7E ",
        "[04 1C FileFormatRequest]",
        "5 RX BA 01 7F 04 1D 05 0B 4F 7E ",  // as it came, header and all
        "[04 1D FileFormatReply]",
        "505 TIMEOUT 500 ms (line idle)",
        " SPEED 57600 bit/s",
        " CLOSE /dev/com7",
    };
    size_t at = 0;
    for (const std::string& piece : expected) {
        const size_t found = all.find(piece, at);
        ASSERT_NE(found, std::string::npos) << "missing, in order: " << piece << "\n" << all;
        at = found + piece.size();
    }

    // A failed open names the device and the reason.
    trace.lines.clear();
    openSucceeds = false;
    std::string error;
    EXPECT_FALSE(session.StartCommunication("/dev/com9", 19200, false, error));
    ASSERT_EQ(trace.lines.size(), 1u);
    EXPECT_NE(trace.lines[0].find("OPEN-FAILED /dev/com9"), std::string::npos) << trace.lines[0];
}

}  // namespace
}  // namespace quillon::test
