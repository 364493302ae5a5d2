#include <gtest/gtest.h>

#include "link/ProtocolTiming.h"
#include "link/RadioQueries.h"
#include "tests/link/LinkFixture.h"

namespace quillon::test {
namespace {

class RadioQueriesTest : public LinkFixture {
protected:
    // A radio that answers every version query, with a distinct value in every byte.
    void AnswerAll(uint8_t controllerMajor = 4) {
        radio.Answer({0x04, 0x1C}, {0x04, 0x1D, 5, 11});
        radio.Answer({0x04, 0x0B}, {0x04, 0x0C, 21, 22, 23});
        radio.Answer({0x04, 0x09}, {0x04, 0x0A, controllerMajor, 32, 33});
        radio.Answer({0x04, 0x07}, {0x04, 0x08, 41, 42, 43});
        radio.Answer({0x04, 0x04}, {0x04, 0x05, 0x01, 0xAB, 0x10, 0x7E, 0xBA, 0x56, 0x78, 0x9A});
        radio.Answer({0x04, 0x2D}, {0x04, 0x2E, 6, 7});
        radio.Answer({0x04, 0x3E}, {0x04, 0x3F, 2, 3});
    }

    VersionInfo info;
};

const Bytes kAskSem{0x04, 0x3E};
const Bytes kAskBoot{0x04, 0x2D};

TEST_F(RadioQueriesTest, ReadVersionInfoFillsEveryField) {
    OpenDeviceMode();
    AnswerAll();
    EXPECT_EQ(ReadVersionInfo(session, 0, info, true), 1);
    EXPECT_EQ(session.TimeoutMs(), 4000u);
    const uint8_t expected[23] = {5,    11,   21,   22,   23,   4,    32,   33, 41, 42, 43, 0x01,
                                  0xAB, 0x10, 0x7E, 0xBA, 0x56, 0x78, 0x9A, 6,  7,  2,  3};
    EXPECT_EQ(Bytes(reinterpret_cast<const uint8_t*>(&info),
                    reinterpret_cast<const uint8_t*>(&info) + 23),
              Bytes(expected, expected + 23));
    const std::vector<Bytes> order{{0x04, 0x1C}, {0x04, 0x0B}, {0x04, 0x09}, {0x04, 0x07},
                                   {0x04, 0x04}, {0x04, 0x2D}, {0x04, 0x3E}};
    EXPECT_EQ(radio.Requests(), order);
}

TEST_F(RadioQueriesTest, ReadVersionInfoStopsAtTheFirstSilentQuery) {
    OpenPortMode();
    radio.Answer({0x04, 0x1C}, {0x04, 0x1D, 5, 11});
    EXPECT_EQ(ReadVersionInfo(session, 0, info, true), 2) << "port mode, nothing arriving";
    EXPECT_EQ(radio.Requests().size(), 2u);
    EXPECT_EQ(pump.NowMs(), 5 + 4000);
}

// A silent boot query is 5 (and zeros) for types 1, 5 and 7, a failure that copies nothing else.
TEST_F(RadioQueriesTest, MissingBootVersionIs5ForTypes157AndFailsForOthers) {
    OpenDeviceMode();
    AnswerAll(3);
    radio.Forget(kAskBoot);
    for (uint8_t type : {1, 5, 7, 0, 4, 6, 8}) {
        SCOPED_TRACE(int(type));
        const bool zeros = type == 1 || type == 5 || type == 7;
        session.SetActive(true);
        info.BootVersion[0] = 9;
        info.BootVersion[1] = 9;
        EXPECT_EQ(ReadVersionInfo(session, type, info, true), zeros ? 5 : 4);
        EXPECT_EQ(info.BootVersion[0], zeros ? 0 : 9) << "a failed query copies nothing";
        EXPECT_EQ(info.BootVersion[1], zeros ? 0 : 9);
        EXPECT_EQ(info.DSPVersion[2], 23) << "the fields read before stay";
    }
    EXPECT_EQ(radio.CountRequests(kAskSem), 0);
}

TEST_F(RadioQueriesTest, SemIsAskedOnlyOfControllers246) {
    OpenDeviceMode();
    for (uint8_t major : {2, 3, 4, 5, 6}) {
        AnswerAll(major);
        const int before = radio.CountRequests(kAskSem);
        info.SEMVersion[0] = 0xEE;
        EXPECT_EQ(ReadVersionInfo(session, 0, info, true), 1);
        const bool asked = major == 2 || major == 4 || major == 6;
        EXPECT_EQ(radio.CountRequests(kAskSem) - before, asked ? 1 : 0) << int(major);
        EXPECT_EQ(info.SEMVersion[0], asked ? 2 : 0) << int(major);
        EXPECT_EQ(info.SEMVersion[1], asked ? 3 : 0) << int(major);
        radio.Forget({0x04, 0x09});
    }
}

TEST_F(RadioQueriesTest, SemNotAskedWhenNotWantedOrForUnknownTypes) {
    OpenDeviceMode();
    AnswerAll(2);
    EXPECT_EQ(ReadVersionInfo(session, 0, info, false), 1);
    EXPECT_EQ(ReadVersionInfo(session, 3, info, true), 1);
    EXPECT_EQ(radio.CountRequests(kAskSem), 0);
}

TEST_F(RadioQueriesTest, SilentSemIs8AndKeepsTheRest) {
    OpenDeviceMode();
    AnswerAll(6);
    radio.Forget(kAskSem);
    radio.Answer(kAskSem, {0x04, 0x3F, 2, 3}, 5000);  // too late
    EXPECT_EQ(ReadVersionInfo(session, 0, info, true), 8);
    EXPECT_EQ(info.SEMVersion[0], 0);
    EXPECT_EQ(info.BootVersion[0], 6);
    EXPECT_EQ(info.FileVersion[1], 11);
}

TEST_F(RadioQueriesTest, SemTakesAnyFrame) {
    OpenDeviceMode();
    AnswerAll(2);
    radio.Forget(kAskSem);
    radio.Answer(kAskSem, {0x07, 0x25});  // not a SEM reply, but a frame: nothing to copy
    EXPECT_EQ(ReadVersionInfo(session, 0, info, true), 1);
    EXPECT_EQ(info.SEMVersion[0], 0);
    EXPECT_EQ(info.SEMVersion[1], 0);
}

TEST_F(RadioQueriesTest, NotAvailableAnswersStoreZeros) {
    OpenDeviceMode();
    AnswerAll(4);
    radio.Forget({0x04, 0x0B});
    radio.Answer({0x04, 0x0B}, {0x04, 0x20});
    info.DSPVersion[0] = 0x77;
    EXPECT_EQ(ReadVersionInfo(session, 0, info, false), 1);
    EXPECT_EQ(info.DSPVersion[0], 0);
    EXPECT_EQ(info.DSPVersion[1], 0);
    EXPECT_EQ(info.DSPVersion[2], 0);
    EXPECT_EQ(info.ControllerVersion[0], 4);
}

TEST_F(RadioQueriesTest, ReadBootVersionIs5ForTypes1578WhenSilent) {
    OpenDeviceMode();
    for (uint8_t type : {1, 5, 7, 8, 0, 4, 6}) {
        SCOPED_TRACE(int(type));
        const bool zeros = type == 1 || type == 5 || type == 7 || type == 8;
        session.SetActive(true);
        uint8_t v[2] = {9, 9};
        EXPECT_EQ(ReadBootVersion(session, type, v), zeros ? 5 : 4);
        EXPECT_EQ(v[0], zeros ? 0 : 9) << "nothing stored on failure";
        EXPECT_EQ(v[1], zeros ? 0 : 9);
    }
    EXPECT_EQ(session.TimeoutMs(), 4000u);
}

TEST_F(RadioQueriesTest, ReadBootVersionReadsTheVersion) {
    OpenPortMode();
    radio.Answer(kAskBoot, {0x04, 0x2E, 6, 7});
    uint8_t v[2] = {};
    EXPECT_EQ(ReadBootVersion(session, 0, v), 1);
    EXPECT_EQ(v[0], 6);
    EXPECT_EQ(v[1], 7);
    EXPECT_EQ(ReadBootVersion(session, 8, v), 1);
}

// Port mode asks again after 04 20; device mode takes it as the answer (zeros).
TEST_F(RadioQueriesTest, NotAvailableIsAskedAgainOnlyInPortMode) {
    for (const bool portMode : {true, false}) {
        SCOPED_TRACE(portMode ? "port mode" : "device mode");
        portMode ? OpenPortMode() : OpenDeviceMode();
        radio.Answer(kAskBoot, {0x04, 0x20});
        radio.Answer(kAskBoot, {0x04, 0x20});
        radio.Answer(kAskBoot, {0x04, 0x2E, 6, 5});
        const int before = radio.CountRequests(kAskBoot);
        uint8_t v[2] = {9, 9};
        EXPECT_EQ(ReadBootVersion(session, 0, v), 1);
        EXPECT_EQ(radio.CountRequests(kAskBoot) - before, portMode ? 3 : 1);
        EXPECT_EQ(v[0], portMode ? 6 : 0);
        EXPECT_EQ(v[1], portMode ? 5 : 0);
        session.Close();
        radio.Forget(kAskBoot);
    }
}

TEST_F(RadioQueriesTest, PortModeStopsAskingARadioThatIsNeverReady) {
    OpenPortMode();
    radio.Answer(kAskBoot, {0x04, 0x20});
    uint8_t v[2] = {9, 9};
    EXPECT_EQ(ReadBootVersion(session, 0, v), 1);
    EXPECT_EQ(radio.CountRequests(kAskBoot), timing::kMaxBootVersionAsks);
    EXPECT_EQ(v[0], 0);

    // Stop (Active cleared) ends the asking too.
    session.SetActive(true);
    radio.SetResponder([this](FakeRadio& r, const Bytes&, uint8_t) {
        r.Deliver(RadioFrame({0x04, 0x20}), 2);
        if (r.Requests().size() > timing::kMaxBootVersionAsks + 2) {
            session.SetActive(false);
        }
    });
    ReadBootVersion(session, 0, v);
    EXPECT_EQ(radio.CountRequests(kAskBoot), timing::kMaxBootVersionAsks + 3);
}

TEST_F(RadioQueriesTest, ReadRadioInfoCopiesTenBytes) {
    OpenDeviceMode();
    session.SetActive(false);  // the query sets Active itself
    radio.Answer({0x04, 0x6F}, {0x04, 0x70, 2, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    uint8_t out[10];
    EXPECT_EQ(ReadRadioInfo(session, out), 1);
    EXPECT_EQ(Bytes(out, out + 10), (Bytes{2, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(session.TimeoutMs(), 500u);
}

TEST_F(RadioQueriesTest, ReadRadioInfoSilentOrShortLeavesZeros) {
    OpenPortMode();
    uint8_t out[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(ReadRadioInfo(session, out), 2);
    EXPECT_EQ(pump.NowMs(), 500);
    EXPECT_EQ(Bytes(out, out + 10), Bytes(10, 0));

    radio.Answer({0x04, 0x6F}, {0x04, 0x70, 0xFF, 0xFF});
    EXPECT_EQ(ReadRadioInfo(session, out), 1);
    EXPECT_EQ(Bytes(out, out + 10), (Bytes{0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace quillon::test
