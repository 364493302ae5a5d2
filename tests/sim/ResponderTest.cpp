#include <gtest/gtest.h>

#include "sim/LinkControlResponder.h"
#include "sim/MessageDispatcher.h"
#include "sim/QueryResponder.h"

namespace quillon::sim {
namespace {

Request Message(Bytes payload) {
    return Request{0x01, std::move(payload)};
}
Request Probe(Bytes payload) {
    return Request{0x4F, std::move(payload)};
}

RadioConfig DistinctConfig() {
    RadioConfig config;
    config.portable = false;
    config.codeplugFormat = {5, 8};
    config.dspVersion = {1, 2, 3};
    config.controllerVersion = {2, 4, 6};
    config.hardwareRevision = {7, 8, 9};
    config.serialNumber = {0x10, 0x7E, 0xBA, 0x00, 0x11, 0x22, 0x33, 0x44};
    config.bootVersion = {6, 5};
    config.semVersion = {1, 2};
    config.radioInfo = {0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    config.SetHardKey(true);
    return config;
}

TEST(QueryResponder, AnswersEveryQueryFromTheConfiguration) {
    const RadioConfig config = DistinctConfig();
    QueryResponder queries(config);
    const std::pair<Bytes, Bytes> expected[] = {
        {{0x04, 0x1C}, {0x04, 0x1D, 5, 8}},
        {{0x04, 0x0B}, {0x04, 0x0C, 1, 2, 3}},
        {{0x04, 0x09}, {0x04, 0x0A, 2, 4, 6}},
        {{0x04, 0x07}, {0x04, 0x08, 7, 8, 9}},
        {{0x04, 0x04}, {0x04, 0x05, 0x10, 0x7E, 0xBA, 0x00, 0x11, 0x22, 0x33, 0x44}},
        {{0x04, 0x2D}, {0x04, 0x2E, 6, 5}},
        {{0x04, 0x3E}, {0x04, 0x3F, 1, 2}},
        {{0x04, 0x67}, {0x04, 0x68, 0}},
        {{0x04, 0x6F}, {0x04, 0x70, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const auto& [request, reply] : expected) {
        const Reaction reaction = queries.Respond(Message(request));
        ASSERT_EQ(reaction.replies.size(), 1u) << FormatHex(request);
        EXPECT_EQ(reaction.replies[0], reply) << FormatHex(request);
        EXPECT_FALSE(reaction.newSpeed);
    }
}

TEST(QueryResponder, FollowsConfigurationChangesAndHardKey) {
    RadioConfig config;
    QueryResponder queries(config);
    EXPECT_EQ(queries.Respond(Message({0x04, 0x67})).replies.at(0), (Bytes{0x04, 0x68, 1}));
    config.portable = false;
    EXPECT_EQ(queries.Respond(Message({0x04, 0x67})).replies.at(0), (Bytes{0x04, 0x68, 0}));

    config.radioInfo[0] = 0xFF;
    config.SetHardKey(false);
    EXPECT_EQ(queries.Respond(Message({0x04, 0x6F})).replies.at(0).at(2), 0xFD);
    EXPECT_FALSE(config.HardKey());
    config.SetHardKey(true);
    EXPECT_EQ(queries.Respond(Message({0x04, 0x6F})).replies.at(0).at(2), 0xFF);
}

TEST(QueryResponder, LeavesUnknownOrMalformedQueriesUnanswered) {
    RadioConfig config;
    QueryResponder queries(config);
    for (const Request& request : {Message({0x04, 0x99}), Message({0x04, 0x1C, 0x00}),
                                   Message({0x04}), Probe({0x04, 0x1C}), Message({0x04, 0x20})}) {
        const Reaction reaction = queries.Respond(request);
        EXPECT_TRUE(reaction.replies.empty()) << FormatHex(request.payload);
        EXPECT_FALSE(reaction.note.empty()) << FormatHex(request.payload);
    }
}

TEST(LinkControlResponder, ChangesSpeedForEveryKnownCodeOnly) {
    RadioConfig config;
    LinkControlResponder link(config);
    const std::pair<uint8_t, uint32_t> speeds[] = {
        {0, 9600}, {1, 19200}, {3, 38400}, {4, 57600}, {5, 115200}};
    for (const auto& [code, baud] : speeds) {
        const Reaction reaction = link.Respond(Message({0x09, 0x00, code}));
        EXPECT_TRUE(reaction.replies.empty());
        EXPECT_EQ(reaction.newSpeed, baud) << int(code);
    }
    for (uint8_t code : {2, 6, 0xFF}) {
        const Reaction reaction = link.Respond(Message({0x09, 0x00, code}));
        EXPECT_FALSE(reaction.newSpeed) << int(code);
        EXPECT_FALSE(reaction.note.empty());
    }
    // Without its data byte, or with the probe header, it is not a speed change.
    EXPECT_FALSE(link.Respond(Message({0x09, 0x00})).newSpeed);
    EXPECT_FALSE(link.Respond(Message({0x09, 0x00, 0x05, 0x00})).newSpeed);
    EXPECT_FALSE(link.Respond(Probe({0x09, 0x00, 0x05})).newSpeed);
}

TEST(LinkControlResponder, AnswersTheProbeOnlyAsABox) {
    RadioConfig config;
    LinkControlResponder link(config);
    const Request probe = Probe({0x09, 0x01, 0x77, 0x77, 0x77});
    EXPECT_TRUE(link.Respond(probe).replies.empty());

    config.box = true;
    config.boxData = {0xAA, 0xBB, 0xCC, 0xDD};
    const Reaction reaction = link.Respond(probe);
    ASSERT_EQ(reaction.replies.size(), 1u);
    EXPECT_EQ(reaction.replies[0], (Bytes{0x09, 0x02, 0xAA, 0xBB, 0xCC, 0xDD}));
    // Only with the probe header and its three data bytes.
    EXPECT_TRUE(link.Respond(Message({0x09, 0x01, 0x77, 0x77, 0x77})).replies.empty());
    EXPECT_TRUE(link.Respond(Probe({0x09, 0x01})).replies.empty());
}

class RecordingUnit : public FamilyResponder {
public:
    Reaction Respond(const Request& request) override {
        seen.push_back(request.payload);
        Reaction reaction;
        reaction.replies.push_back({0x77});
        return reaction;
    }
    std::vector<Bytes> seen;
};

TEST(MessageDispatcher, RoutesByTheFirstCodeByte) {
    MessageDispatcher dispatcher;
    RecordingUnit downloads;
    RecordingUnit codeplug;
    dispatcher.Register(0x02, downloads);
    dispatcher.Register(0x03, codeplug);

    EXPECT_EQ(dispatcher.Dispatch(Message({0x02, 0x01})).replies.size(), 1u);
    EXPECT_EQ(dispatcher.Dispatch(Message({0x03, 0x07})).replies.size(), 1u);
    const Reaction unknown = dispatcher.Dispatch(Message({0x05, 0x00}));
    EXPECT_TRUE(unknown.replies.empty());
    EXPECT_NE(unknown.note.find("05"), std::string::npos);
    EXPECT_TRUE(dispatcher.Dispatch(Message({})).replies.empty());

    EXPECT_EQ(downloads.seen, (std::vector<Bytes>{{0x02, 0x01}}));
    EXPECT_EQ(codeplug.seen, (std::vector<Bytes>{{0x03, 0x07}}));
}

}  // namespace
}  // namespace quillon::sim
