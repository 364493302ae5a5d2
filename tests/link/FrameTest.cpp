#include <gtest/gtest.h>

#include "link/FrameFormat.h"
#include "link/FrameReceiver.h"
#include "tests/link/FakeRadio.h"

namespace quillon::test {
namespace {

CommMessage Msg(const Bytes& bytes) {
    CommMessage m;
    m.Length = static_cast<int32_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), m.Data);
    return m;
}

TEST(BuildFrame, KnownRequestsByteForByte) {
    EXPECT_EQ(BuildFrame(Msg({0x04, 0x1C})), (Bytes{0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x60, 0x7E}));
    // The checksum of 02 00 is 0x7E and goes out stuffed.
    EXPECT_EQ(BuildFrame(Msg({0x02, 0x00})),
              (Bytes{0xBA, 0x7F, 0x01, 0x02, 0x00, 0x10, 0x01, 0x7E}));
    EXPECT_EQ(frame::BuildFrame(Msg({0x09, 0x01, 0x77, 0x77, 0x77}), frame::kHeader2Probe),
              (Bytes{0xBA, 0x7F, 0x4F, 0x09, 0x01, 0x77, 0x77, 0x77, 0xC3, 0x7E}));
}

TEST(BuildFrame, StuffsPayloadButNeverTheHeader) {
    // 7F + 01 + 10 + 7E + BA + 05 = 0x1CD -> checksum 0x33.
    EXPECT_EQ(BuildFrame(Msg({0x10, 0x7E, 0xBA, 0x05})),
              (Bytes{0xBA, 0x7F, 0x01, 0x10, 0x02, 0x10, 0x01, 0x10, 0x00, 0x05, 0x33, 0x7E}));
    // A checksum of 0x10 and of 0xBA are stuffed too: 7F+01+70 = F0 -> 10; 7F+01+C6 = 146 -> BA.
    EXPECT_EQ(BuildFrame(Msg({0x70})), (Bytes{0xBA, 0x7F, 0x01, 0x70, 0x10, 0x02, 0x7E}));
    EXPECT_EQ(BuildFrame(Msg({0xC6})), (Bytes{0xBA, 0x7F, 0x01, 0xC6, 0x10, 0x00, 0x7E}));
}

TEST(BuildFrame, PayloadLengthIsTheLowByteOfLength) {
    CommMessage m;
    for (int i = 0; i < CommMessage::kCapacity; ++i) {
        m.Data[i] = 0x33;
    }
    m.Length = 256;
    EXPECT_EQ(BuildFrame(m), (Bytes{0xBA, 0x7F, 0x01, 0x80, 0x7E}));
    m.Length = 257;
    EXPECT_EQ(BuildFrame(m), (Bytes{0xBA, 0x7F, 0x01, 0x33, 0x4D, 0x7E}));
    m.Length = 255;
    EXPECT_EQ(BuildFrame(m).size(), 3u + 255u + 2u);
}

// Feeds bytes; returns the payloads of the frames accepted on the way.
std::vector<Bytes> FeedAll(FrameReceiver& rx, const Bytes& bytes) {
    std::vector<Bytes> frames;
    for (uint8_t b : bytes) {
        if (rx.Feed(b)) {
            const CommMessage& f = rx.Frame();
            frames.emplace_back(f.Data, f.Data + f.Length);
        }
    }
    return frames;
}

TEST(FrameReceiver, AcceptsReplyAndUnstuffsPayload) {
    FrameReceiver rx;
    const Bytes payload{0x04, 0x05, 0x10, 0x7E, 0xBA, 0x00, 0x01, 0x02, 0xFF, 0x99};
    auto frames = FeedAll(rx, RadioFrame(payload));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], payload);
    EXPECT_EQ(rx.Frame().Data[payload.size()], 0) << "bytes past the payload are cleared";
}

TEST(FrameReceiver, ChecksumOf7EArrivesStuffedAndIsAccepted) {
    FrameReceiver rx;
    // 01 + 7F + 02 + 00 = 0x82, so the checksum is 0x7E: ... 10 01 7E.
    const Bytes wire{0xBA, 0x01, 0x7F, 0x02, 0x00, 0x10, 0x01, 0x7E};
    ASSERT_EQ(RadioFrame({0x02, 0x00}), wire);
    auto frames = FeedAll(rx, wire);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (Bytes{0x02, 0x00}));
}

TEST(FrameReceiver, StartByteDiscardsWhatCameBefore) {
    FrameReceiver rx;
    Bytes wire{0xBA, 0x01, 0x7F, 0x04, 0x0A, 0x33};  // cut off by a new start
    const Bytes good = RadioFrame({0x04, 0x1D, 0x05, 0x0B});
    wire.insert(wire.end(), good.begin(), good.end());
    auto frames = FeedAll(rx, wire);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (Bytes{0x04, 0x1D, 0x05, 0x0B}));
}

TEST(FrameReceiver, DropsWrongHeaderBadChecksumAndRunts) {
    FrameReceiver rx;
    EXPECT_TRUE(FeedAll(rx, RadioFrame({0x04, 0x1D, 5, 11}, 0x01)).empty()) << "H2 01";
    EXPECT_TRUE(FeedAll(rx, RadioFrame({0x04, 0x1D, 5, 11}, 0x4F)).empty()) << "H2 4F";
    EXPECT_TRUE(FeedAll(rx, RadioFrame({0x04, 0x1D, 5, 11}, 0x7F, 1)).empty()) << "checksum";
    // Two bytes summing to zero are no frame: a header without checksum.
    EXPECT_TRUE(FeedAll(rx, {0xBA, 0x81, 0x7F, 0x7E}).empty());
    // The smallest frame: header and checksum, empty payload.
    auto frames = FeedAll(rx, {0xBA, 0x01, 0x7F, 0x80, 0x7E});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].empty());
    // After all that, a good frame still gets through.
    EXPECT_EQ(FeedAll(rx, RadioFrame({0x04, 0x68, 0x01})).size(), 1u);
}

TEST(FrameReceiver, EndByteWithoutReplyHeaderKeepsCollecting) {
    FrameReceiver rx;
    // The session's own echo (H2 01) ends with 7E but is no reply; the next start resets.
    Bytes wire{0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x60, 0x7E};
    const Bytes good = RadioFrame({0x04, 0x1D, 0x05, 0x0B});
    wire.insert(wire.end(), good.begin(), good.end());
    EXPECT_EQ(FeedAll(rx, wire).size(), 1u);
}

TEST(FrameReceiver, OverlongPartialFrameIsDroppedWithItsTail) {
    FrameReceiver rx;
    Bytes wire{0xBA};
    wire.insert(wire.end(), FrameReceiver::kBufferSize, 0x55);
    // What follows the overflow looks like the end of a reply, but belongs to the dropped frame.
    const Bytes tail{0x01, 0x7F, 0x04, 0x1D, 0x05, 0x0B, 0x4F, 0x7E};
    wire.insert(wire.end(), tail.begin(), tail.end());
    EXPECT_TRUE(FeedAll(rx, wire).empty());
    EXPECT_EQ(FeedAll(rx, RadioFrame({0x04, 0x1D, 0x05, 0x0B})).size(), 1u);
    // On its own, after a start byte, the tail is a good frame.
    Bytes alone{0xBA};
    alone.insert(alone.end(), tail.begin(), tail.end());
    EXPECT_EQ(FeedAll(rx, alone).size(), 1u);
}

TEST(FrameReceiver, FrameFillingTheWholeBufferIsAccepted) {
    FrameReceiver rx;
    const Bytes payload(FrameReceiver::kBufferSize - 3, 0x01);  // + 2 header + checksum = 1024
    auto frames = FeedAll(rx, RadioFrame(payload));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), payload.size());
}

TEST(MatchReply, ByCodeThenPayloadLength) {
    const CommMessage a = CommMessage::FromCode(0x04, 0x2E);
    const CommMessage b = CommMessage::FromCode(0x04, 0x20);
    EXPECT_EQ(MatchReply(Msg({0x04, 0x2E, 6, 7}), a, 4, b, 2), 0);
    EXPECT_EQ(MatchReply(Msg({0x04, 0x20}), a, 4, b, 2), 1);
    EXPECT_EQ(MatchReply(Msg({0x04, 0x2E, 6}), a, 4, b, 2), -1) << "short";
    EXPECT_EQ(MatchReply(Msg({0x04, 0x2F, 6, 7}), a, 4, b, 2), -1) << "other code";
    // A one-byte expected code compares only the first byte.
    CommMessage family = CommMessage::FromCode(0x07, 0x00);
    family.Length = 1;
    EXPECT_EQ(MatchReply(Msg({0x07, 0x25}), family, 2, family, 2), 0);
    // A is tested first when both match.
    EXPECT_EQ(MatchReply(Msg({0x09, 0x02, 1, 2, 3, 4}), CommMessage::FromCode(9, 2), 6,
                         CommMessage::FromCode(9, 2), 6),
              0);
}

}  // namespace
}  // namespace quillon::test
