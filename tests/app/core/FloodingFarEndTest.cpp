// Far ends that repeat one message for ever: every step that passes such a message over ends
// within its bound, with the step's own failure result, on the virtual clock.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <sstream>
#include <vector>

#include "app/core/RadioRestore.h"
#include "download/CodeDownload.h"
#include "download/DownloadResult.h"
#include "link/ProtocolTiming.h"
#include "serial/ProgressReport.h"
#include "tests/app/core/WorkflowFakes.h"
#include "tests/link/LinkFixture.h"
#include "transfer/CodeplugTransfer.h"

namespace quillon::test {
namespace {

// One data record and an end record: the smallest image worth sending.
constexpr char kImage[] = "S107000001020304EE\nS9030000FC\n";
constexpr int kFloodCopies = 4000;

struct SilentReport : ProgressReport {
    void BeginStep(const std::string&, int64_t) override {}
    void Advance(int64_t, int64_t) override {}
    void Status(const std::string&) override {}
    void Console(const std::string&) override {}
};

class FloodingFarEnd;

struct FloodCase {
    const char* name;
    bool portMode;
    std::function<void(FloodingFarEnd&)> setUp;
    std::function<int(FloodingFarEnd&)> run;
    int result;
    Bytes lastSent;   // the last request the far end got (empty: not looked at)
    int64_t boundMs;  // the step has ended by then
};

class FloodingFarEnd : public LinkFixture, public ::testing::WithParamInterface<FloodCase> {
public:
    FakeRadio& Radio() { return radio; }

    // `kFloodCopies` frames of `payload`, `everyMs` apart, the first `afterMs` from now.
    void Flood(const Bytes& payload, int everyMs, int afterMs = 5) {
        const Bytes frame = RadioFrame(payload);
        for (int i = 0; i < kFloodCopies; ++i) {
            radio.Deliver(frame, afterMs + i * everyMs);
        }
        floodBytes = static_cast<int64_t>(frame.size()) * kFloodCopies;
    }
    // Floods once `request` arrives, after granting codeplug access when `grant` is set.
    void FloodAfter(const Bytes& request, bool grant, const Bytes& payload) {
        radio.SetResponder([this, request, grant, payload](FakeRadio&, const Bytes& got, uint8_t) {
            if (got == request) {
                if (grant) {
                    radio.Deliver(RadioFrame({0x03, 0x0D}), 5);
                }
                Flood(payload, 2, 10);
            }
        });
    }
    int Download() {
        std::istringstream loader(kImage), code(kImage);
        return DownloadCode(session, loader, code, report, 0, false, true, false, nullptr, pump);
    }
    int Transfer(bool upload) {
        transfer.SetBuffer(image, upload ? 0 : 1024);
        transfer.SetDevice(session);
        return upload ? transfer.Upload() : transfer.Download();
    }
    int ResetRadio() {
        WorkflowView view(true);
        ProgressTimer progress(pump, view);
        FakeExchange::Record record;
        RadioRestore restore(session, pump, view, progress, FakeExchange::Factory(record),
                             CodeplugBackup(""));
        return restore.ResetRadio();
    }

    SilentReport report;
    std::array<uint8_t, TransferBase::kImageBytes> image{};
    CodeplugTransfer transfer;
    int64_t floodBytes = -1;  // -1: the far end floods for as long as it is asked
};

TEST_P(FloodingFarEnd, EndsWithinItsBound) {
    const FloodCase& c = GetParam();
    if (c.portMode) {
        OpenPortMode();
    } else {
        OpenDeviceMode();
    }
    session.SetTimeout(timing::kCodeplugReplyTimeoutMs);
    c.setUp(*this);
    EXPECT_EQ(c.run(*this), c.result);
    EXPECT_LE(pump.NowMs(), c.boundMs);
    if (floodBytes >= 0) {
        EXPECT_LT(radio.BytesRead(), floodBytes) << "the flood ran dry: the bound was not reached";
    }
    ASSERT_FALSE(radio.Requests().empty());
    if (!c.lastSent.empty()) {
        EXPECT_EQ(radio.Requests().back(), c.lastSent);
    }
}

const Bytes kNegative{0x02, 0x0A};
const Bytes kAck{0x02, 0x07};

const FloodCase kCases[] = {
    {"StartRefused",
     true,
     [](FloodingFarEnd& f) {
         f.Radio().Answer({0x02, 0x01}, kNegative);
     },
     [](FloodingFarEnd& f) { return f.Download(); },
     kDownloadTimedOut,
     {0x02, 0x01},
     timing::kMaxRefusalMs + timing::kDownloadReplyTimeoutMs},
    {"SecondBlockRefused",
     true,
     [](FloodingFarEnd& f) {
         f.Radio().SetResponder([blocks = 0](FakeRadio& r, const Bytes& got, uint8_t) mutable {
             if (got == Bytes{0x02, 0x01}) {
                 r.Deliver(RadioFrame(kAck), 5);
             } else if (got.size() > 2 && got[1] == 0x09) {
                 // After the pause that follows every block.
                 r.Deliver(RadioFrame(++blocks == 1 ? kAck : kNegative), 2 * timing::kBlockPauseMs);
             }
         });
     },
     [](FloodingFarEnd& f) { return f.Download(); },
     kDownloadTimedOut,
     {},
     timing::kMaxRefusalMs + timing::kDownloadReplyTimeoutMs},
    {"RestartNoticesInThePasswordExchange",
     false,
     [](FloodingFarEnd& f) {
         f.FloodAfter({0x03, 0x07}, false, {0x07, 0x25});
     },
     [](FloodingFarEnd& f) { return f.Transfer(true); },
     -1,
     {0x03, 0x04},
     timing::kCodeplugReplyTimeoutMs},
    {"NextBlockDuringAnUpload",
     false,
     [](FloodingFarEnd& f) {
         f.FloodAfter({0x03, 0x07}, true, {0x03, 0x08});
     },
     [](FloodingFarEnd& f) { return f.Transfer(true); },
     -1,
     {0x03, 0x04},
     timing::kCodeplugReplyTimeoutMs},
    {"ChecksumQuestionDuringADownload",
     false,
     [](FloodingFarEnd& f) {
         f.FloodAfter({0x03, 0x00}, true, {0x03, 0x03, 0x00, 0x00});
     },
     [](FloodingFarEnd& f) { return f.Transfer(false); },
     -1,
     {0x03, 0x05},
     timing::kCodeplugReplyTimeoutMs},
    {"ControlHeadUpdatesAfterTheRestart",
     false,
     [](FloodingFarEnd& f) {
         f.Flood({0x09, 0x03, 0x00, 0x00}, 1000, 500);
     },
     [](FloodingFarEnd& f) { return f.ResetRadio(); },
     kRestoreNoAnswer,
     {0x04, 0x1C},
     timing::kRestartWaitMs + timing::kControlHeadUpdatesLimitMs + timing::kControlHeadWaitMs +
         3 * timing::kRestoreReplyTimeoutMs},
};

INSTANTIATE_TEST_SUITE_P(Floods, FloodingFarEnd, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillon::test
