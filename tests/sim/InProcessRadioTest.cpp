#include "sim/InProcessRadio.h"

#include <gtest/gtest.h>

#include "link/RadioQueries.h"
#include "tests/support/InProcessLink.h"

namespace quillon::test {
namespace {

TEST(InProcessRadio, AnswersQueriesWithLineTimeOnTheVirtualClock) {
    sim::RadioConfig config;
    config.bootVersion = {6, 5};
    InProcessLink link(config);
    std::string error;
    ASSERT_TRUE(link.Connect(error)) << error;

    uint8_t boot[2] = {};
    const int64_t start = link.pump.NowMs();
    ASSERT_EQ(ReadBootVersion(link.session, 6, boot), 1);
    EXPECT_EQ(boot[0], 6);
    EXPECT_EQ(boot[1], 5);
    // The reply frame's bytes took their time at 19200 bit/s (about 0.52 ms a byte).
    EXPECT_GE(link.pump.NowMs() - start, 3);
    EXPECT_LT(link.pump.NowMs() - start, 50);
    EXPECT_EQ(link.radio.GarbledBytes(), 0);
}

TEST(InProcessRadio, FollowsASpeedChangeAndGarblesAMismatch) {
    InProcessLink link;
    std::string error;
    ASSERT_TRUE(link.Connect(error)) << error;

    link.session.SetRadioBaud(115200);
    EXPECT_EQ(link.radio.RadioSpeed(), 115200u);
    EXPECT_EQ(link.radio.HostSpeed(), 115200u);
    uint8_t info[10] = {};
    EXPECT_EQ(ReadRadioInfo(link.session, info), 1);

    // The updater drops back to 19200 alone: the radio no longer understands it.
    link.session.SetLocalBaud(19200);
    link.session.SetActive(true);
    EXPECT_NE(ReadRadioInfo(link.session, info), 1);
    EXPECT_GT(link.radio.GarbledBytes(), 0);
}

TEST(InProcessRadio, SilentAfterDisconnectAndTimesOutWithoutSpinning) {
    InProcessLink link;
    std::string error;
    ASSERT_TRUE(link.Connect(error)) << error;
    link.radio.Disconnect();
    uint8_t boot[2] = {};
    const int64_t waitsBefore = link.pump.WaitCount();
    EXPECT_NE(ReadBootVersion(link.session, 6, boot), 1);
    EXPECT_GE(link.pump.NowMs(), 4000);
    EXPECT_LT(link.pump.WaitCount() - waitsBefore, 50) << "the wait spins";
}

}  // namespace
}  // namespace quillon::test
