#include "sim/RadioFramer.h"

#include <gtest/gtest.h>

#include <random>

namespace quillon::sim {
namespace {

std::vector<RadioFramer::Event> FeedAll(RadioFramer& framer, const Bytes& bytes) {
    std::vector<RadioFramer::Event> events;
    framer.Feed(bytes.data(), bytes.size(), events);
    return events;
}

TEST(RadioFramer, BuildsTheUpdatersFramesByteForByte) {
    EXPECT_EQ(RadioFramer::BuildFrame({0x04, 0x1C}, 0x7F, 0x01),
              (Bytes{0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x60, 0x7E}));
    // The checksum 7E travels stuffed.
    EXPECT_EQ(RadioFramer::BuildFrame({0x02, 0x00}, 0x7F, 0x01),
              (Bytes{0xBA, 0x7F, 0x01, 0x02, 0x00, 0x10, 0x01, 0x7E}));
    EXPECT_EQ(RadioFramer::BuildFrame({0x09, 0x01, 0x77, 0x77, 0x77}, 0x7F, 0x4F),
              (Bytes{0xBA, 0x7F, 0x4F, 0x09, 0x01, 0x77, 0x77, 0x77, 0xC3, 0x7E}));
}

TEST(RadioFramer, BuildsRepliesWithTheRadioHeaderAndStuffedPayload) {
    EXPECT_EQ(RadioFramer::BuildReply({0x04, 0x1D, 0x05, 0x0B}),
              (Bytes{0xBA, 0x01, 0x7F, 0x04, 0x1D, 0x05, 0x0B, 0x4F, 0x7E}));
    EXPECT_EQ(RadioFramer::BuildReply({0x04, 0x05, 0x10, 0x7E, 0xBA, 0x00, 0x11, 0x22, 0x33, 0x44}),
              (Bytes{0xBA, 0x01, 0x7F, 0x04, 0x05, 0x10, 0x02, 0x10, 0x01, 0x10, 0x00, 0x00, 0x11,
                     0x22, 0x33, 0x44, 0x85, 0x7E}));
    // A spoilt checksum is still stuffed: 4F + 2F = 7E.
    EXPECT_EQ(RadioFramer::BuildFrame({0x04, 0x1D, 0x05, 0x0B}, 0x01, 0x7F, 0x2F),
              (Bytes{0xBA, 0x01, 0x7F, 0x04, 0x1D, 0x05, 0x0B, 0x10, 0x01, 0x7E}));
}

TEST(RadioFramer, ParsesRequestsWholeAndByteByByte) {
    const Bytes stream{0xBA, 0x7F, 0x01, 0x02, 0x00, 0x10, 0x01, 0x7E,  //
                       0xBA, 0x7F, 0x4F, 0x09, 0x01, 0x77, 0x77, 0x77, 0xC3, 0x7E};
    RadioFramer whole;
    const auto events = FeedAll(whole, stream);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(events[0].good);
    EXPECT_EQ(events[0].h2, 0x01);
    EXPECT_EQ(events[0].payload, (Bytes{0x02, 0x00}));
    EXPECT_TRUE(events[1].good);
    EXPECT_EQ(events[1].h2, 0x4F);
    EXPECT_EQ(events[1].payload, (Bytes{0x09, 0x01, 0x77, 0x77, 0x77}));

    RadioFramer split;
    std::vector<RadioFramer::Event> pieces;
    for (size_t i = 0; i < stream.size(); ++i) {
        split.Feed(&stream[i], 1, pieces);
        // Nothing is reported before the end byte of a frame.
        EXPECT_EQ(pieces.size(), static_cast<size_t>(i >= 7) + static_cast<size_t>(i >= 17));
    }
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].payload, events[0].payload);
    EXPECT_EQ(pieces[1].payload, events[1].payload);
}

TEST(RadioFramer, RoundTripsEveryPayloadLengthAndByteValue) {
    std::mt19937 random(7);
    for (size_t length = 0; length <= RadioFramer::kMaxPayload; ++length) {
        Bytes payload(length);
        for (auto& byte : payload) {
            byte = static_cast<uint8_t>(random());
        }
        // Make sure the three special values turn up often.
        if (length >= 3) {
            payload[0] = 0x10;
            payload[length / 2] = 0x7E;
            payload[length - 1] = 0xBA;
        }
        RadioFramer framer;
        const auto events = FeedAll(framer, RadioFramer::BuildFrame(payload, 0x7F, 0x01));
        ASSERT_EQ(events.size(), 1u) << length;
        ASSERT_TRUE(events[0].good) << length << ": " << events[0].reason;
        EXPECT_EQ(events[0].payload, payload);
    }
}

TEST(RadioFramer, IgnoresNoiseAndRestartsOnAStartByte) {
    RadioFramer framer;
    // Noise (with stray end bytes) before the frame; then a frame cut short by a new start.
    const Bytes stream{0x00, 0x7E, 0x55, 0x7F, 0x01, 0x7E, 0xBA, 0x7F, 0x01, 0x04,
                       0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x60, 0x7E, 0x13, 0x37};
    const auto events = FeedAll(framer, stream);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[0].good);
    EXPECT_EQ(events[0].raw, (Bytes{0x7F, 0x01, 0x04}));
    EXPECT_TRUE(events[1].good);
    EXPECT_EQ(events[1].payload, (Bytes{0x04, 0x1C}));
    EXPECT_FALSE(framer.InFrame());
}

TEST(RadioFramer, DropsFramesThatAreNotGoodRequests) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"bad checksum", {0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x61, 0x7E}},
        {"a reply looped back (H1 01, H2 7F)", RadioFramer::BuildReply({0x04, 0x1D, 0x05, 0x0B})},
        {"unknown H2", RadioFramer::BuildFrame({0x04, 0x1C}, 0x7F, 0x02)},
        {"unknown H1", RadioFramer::BuildFrame({0x04, 0x1C}, 0x7E - 1, 0x01)},
        {"bad escape", {0xBA, 0x7F, 0x01, 0x04, 0x10, 0x03, 0x7E}},
        {"escape at the end", {0xBA, 0x7F, 0x01, 0x04, 0x10, 0x7E}},
        {"header only", {0xBA, 0x7F, 0x01, 0x7E}},
        {"empty", {0xBA, 0x7E}},
    };
    for (const Case& c : cases) {
        RadioFramer framer;
        auto events = FeedAll(framer, c.bytes);
        ASSERT_EQ(events.size(), 1u) << c.what;
        EXPECT_FALSE(events[0].good) << c.what;
        EXPECT_FALSE(events[0].reason.empty()) << c.what;
        // The framer is ready for the next frame at once.
        events = FeedAll(framer, {0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x60, 0x7E});
        ASSERT_EQ(events.size(), 1u) << c.what;
        EXPECT_TRUE(events[0].good) << c.what;
    }
}

TEST(RadioFramer, GivesUpAnEndlessFrameAndRecovers) {
    RadioFramer framer;
    Bytes flood{0xBA};
    flood.resize(1 + RadioFramer::kMaxCollected + 10, 0x33);
    auto events = FeedAll(framer, flood);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].good);
    EXPECT_FALSE(framer.InFrame());
    // The rest of the flood up to its end byte is noise, not a frame.
    events = FeedAll(framer, {0x33, 0x7E, 0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x60, 0x7E});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].good);
}

TEST(RadioFramer, RefusesPayloadsLongerThanAFrameCanCarry) {
    const Bytes payload(256, 0x01);
    // Built by appending byte by byte: g++ 12 at -O2 wrongly flags a range insert here.
    Bytes frame{0xBA, 0x7F, 0x01};
    for (uint8_t b : payload) {
        frame.push_back(b);
    }
    frame.push_back(RadioFramer::Checksum(0x7F, 0x01, payload));
    frame.push_back(0x7E);
    RadioFramer framer;
    const auto events = FeedAll(framer, frame);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].good);
}

}  // namespace
}  // namespace quillon::sim
