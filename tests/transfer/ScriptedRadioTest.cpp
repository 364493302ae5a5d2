// Frames the virtual radio never sends, from a scripted far end.

#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "link/ProtocolTiming.h"
#include "tests/link/LinkFixture.h"
#include "transfer/CodeplugTransfer.h"

namespace quillon::test {
namespace {

using Script = std::map<Bytes, std::deque<std::vector<Bytes>>>;

Bytes Block(std::initializer_list<uint8_t> head, size_t size = 128) {
    Bytes b{0x03, 0x02};
    b.insert(b.end(), head);
    b.resize(2 + size, 0x44);
    return b;
}

class ScriptedRadio : public LinkFixture {
protected:
    // Answers each request (by its two code bytes) with the next list of frames of its entry;
    // the last list serves every later request.
    void Play(Script script) {
        script_ = std::move(script);
        radio.SetResponder([this](FakeRadio& r, const Bytes& payload, uint8_t) {
            auto it = script_.find(Bytes(payload.begin(), payload.begin() + 2));
            if (it == script_.end() || it->second.empty()) {
                return;
            }
            for (const Bytes& frame : it->second.front()) {
                r.Deliver(RadioFrame(frame), 2);
            }
            if (it->second.size() > 1) {
                it->second.pop_front();
            }
        });
        OpenDeviceMode();
        session.SetTimeout(timing::kCodeplugReplyTimeoutMs);
        transfer.SetDevice(session);
        transfer.SetBuffer(*buffer, 0);
    }

    Script script_;
    std::unique_ptr<std::array<uint8_t, 65536>> buffer =
        std::make_unique<std::array<uint8_t, 65536>>();
    CodeplugTransfer transfer;
};

TEST_F(ScriptedRadio, StrayNextBlockDuringUploadIsIgnored) {
    // Block 0 heads a 64-word block; block 1 holds no marker where the next head would be.
    Play({{{0x03, 0x07}, {{{0x03, 0x0D}, Block({0x5F, 0x5F, 0x00, 0x40})}}},
          {{0x03, 0x08}, {{{0x03, 0x08}, Block({0x12, 0x34})}}}});
    EXPECT_GT(transfer.Upload(), 0);
    EXPECT_EQ(transfer.Length(), 256);
    EXPECT_EQ((*buffer)[128], 0x12);
    EXPECT_EQ(radio.CountRequests({0x03, 0x08}), 1);
    EXPECT_EQ(radio.CountRequests({0x03, 0x04}), 1);
}

TEST_F(ScriptedRadio, ShortBlockFailsTheUpload) {
    Play({{{0x03, 0x07}, {{{0x03, 0x0D}, Block({0x5F, 0x5F, 0x00, 0x40}, 100)}}}});
    EXPECT_EQ(transfer.Upload(), -1);
    EXPECT_LT(pump.NowMs(), timing::kCodeplugReplyTimeoutMs);
}

TEST_F(ScriptedRadio, ChecksumQuestionWithoutItsBytesIsDenied) {
    Play({{{0x03, 0x00}, {{{0x03, 0x0D}, {0x03, 0x08}}}},
          {{0x03, 0x02}, {{{0x03, 0x08}}, {{0x03, 0x03}}}},
          {{0x03, 0x06}, {{{0x03, 0x08}}}}});
    transfer.SetLength(256);
    EXPECT_GT(transfer.Download(), 0);
    EXPECT_EQ(radio.CountRequests({0x03, 0x06}), 1);
    EXPECT_EQ(radio.CountRequests({0x03, 0x04}), 1);
}

TEST_F(ScriptedRadio, DownloadMeetingAnotherFrameHasNotFinished) {
    Play({{{0x03, 0x00}, {{{0x03, 0x0D}, {0x03, 0x08}}}},
          {{0x03, 0x02}, {{{0x03, 0x08}}, {{0x07, 0x25}}}}});
    transfer.SetLength(1024);
    EXPECT_EQ(transfer.Download(), -1);
    int blocks = 0;
    for (const Bytes& request : radio.Requests()) {
        blocks += request.size() == 130 && request[0] == 0x03 && request[1] == 0x02 ? 1 : 0;
    }
    EXPECT_EQ(blocks, 2);
    EXPECT_EQ(radio.CountRequests({0x03, 0x04}), 0);
}

}  // namespace
}  // namespace quillon::test
