#include "serial/posix/TerminalSettings.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quillon {
namespace {

struct termios Filled() {
    // Start from every bit set, so that a bit left standing shows.
    struct termios tio;
    std::memset(&tio, 0xFF, sizeof tio);
    return tio;
}

TEST(TerminalSettingsTest, DataBitsSetTheCharacterSizeOnly) {
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    for (uint8_t i = 0; i < 4; ++i) {
        auto tio = Filled();
        ASSERT_TRUE(TerminalSettings::ApplyDataBits(tio, i));
        EXPECT_EQ(tio.c_cflag & CSIZE, kSizes[i]);
        EXPECT_EQ(tio.c_cflag | CSIZE, ~tcflag_t{0});  // nothing else touched
    }
    auto tio = Filled();
    EXPECT_FALSE(TerminalSettings::ApplyDataBits(tio, 4));
    EXPECT_EQ(tio.c_cflag, ~tcflag_t{0});
}

TEST(TerminalSettingsTest, ParityCodesIncludingMarkAndSpace) {
    const tcflag_t bits = PARENB | PARODD | CMSPAR;
    const struct {
        uint8_t code;
        tcflag_t cflag;
        bool checked;
    } cases[] = {
        {0, 0, false},
        {1, PARENB | PARODD, true},
        {2, PARENB, true},
        {3, PARENB | PARODD | CMSPAR, true},
        {4, PARENB | CMSPAR, true},
    };
    for (const auto& c : cases) {
        for (auto tio : {Filled(), termios{}}) {
            ASSERT_TRUE(TerminalSettings::ApplyParity(tio, c.code));
            EXPECT_EQ(tio.c_cflag & bits, c.cflag) << "code " << int(c.code);
            EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.checked) << "code " << int(c.code);
        }
    }
    auto tio = Filled();
    EXPECT_FALSE(TerminalSettings::ApplyParity(tio, 5));
    EXPECT_EQ(tio.c_cflag, ~tcflag_t{0});
}

TEST(TerminalSettingsTest, StopBits) {
    auto tio = Filled();
    ASSERT_TRUE(TerminalSettings::ApplyStopBits(tio, 0));
    EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
    for (uint8_t code : {1, 2}) {
        termios t{};
        ASSERT_TRUE(TerminalSettings::ApplyStopBits(t, code));
        EXPECT_EQ(t.c_cflag, static_cast<tcflag_t>(CSTOPB));
    }
    EXPECT_FALSE(TerminalSettings::ApplyStopBits(tio, 3));
}

TEST(TerminalSettingsTest, FlowControlModes) {
    const struct {
        uint8_t mode;
        bool rtscts;
        bool xonxoff;
    } cases[] = {{0, false, false}, {1, true, false}, {2, false, true}, {3, true, false}};
    for (const auto& c : cases) {
        for (auto tio : {Filled(), termios{}}) {
            ASSERT_TRUE(TerminalSettings::ApplyFlowControl(tio, c.mode));
            EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, c.rtscts) << "mode " << int(c.mode);
            EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), c.xonxoff ? tcflag_t(IXON | IXOFF) : 0u)
                << "mode " << int(c.mode);
            EXPECT_EQ(tio.c_iflag & IXANY, 0u);
        }
        EXPECT_EQ(TerminalSettings::RtsRaised(c.mode), c.rtscts);
    }
    auto tio = Filled();
    EXPECT_FALSE(TerminalSettings::ApplyFlowControl(tio, 4));
    EXPECT_EQ(tio.c_iflag, ~tcflag_t{0});
}

}  // namespace
}  // namespace quillon
