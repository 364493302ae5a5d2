#include "sim/RestartPlan.h"

#include <gtest/gtest.h>

#include "sim/RadioSimulator.h"
#include "sim/ScenarioLoader.h"

namespace quillon::sim {
namespace {

std::string Describe(const std::vector<RestartPlan::Message>& messages) {
    std::string text;
    for (const auto& m : messages) {
        text += std::to_string(m.delayMs) + ":" + FormatHex(m.payload) + " ";
    }
    return text;
}

TEST(RestartPlan, MessagesInOrder) {
    const struct {
        const char* scenario;
        const char* messages;
    } rows[] = {
        {R"({})", "500:07 25 "},
        {R"({"restart": {"delay_ms": 20, "control_heads": 2, "head_ms": 7}})",
         "20:07 25 7:09 03 00 00 7:09 03 00 00 "},
        {R"({"restart": {"announce_first": false, "control_heads": 2, "head_ms": 7}})",
         "500:09 03 00 00 7:09 03 00 00 7:07 25 "},
        {R"({"restart": {"announce_first": false, "address_conflict": true, "control_heads": 3}})",
         "500:09 03 00 01 1000:07 25 "},
        {R"({"restart": {"enabled": false, "control_heads": 1}})", ""},
    };
    for (const auto& row : rows) {
        RadioConfig config;
        LoadScenarioText(row.scenario, config);
        EXPECT_EQ(Describe(config.restart.Messages()), row.messages) << row.scenario;
    }
    for (const char* bad :
         {R"({"restart": {"delay_ms": -1}})", R"({"restart": {"control_heads": 17}})",
          R"({"restart": {"heads": 1}})", R"({"restart": 5})"}) {
        RadioConfig config;
        EXPECT_THROW(LoadScenarioText(bad, config), ScenarioError) << bad;
    }
}

TEST(RestartPlan, OwnMessagesFallDueFromTheFirstTickAndTheFormatChanges) {
    RadioConfig config;
    LoadScenarioText(
        R"({"codeplug_format": "5.9", "restart": {"delay_ms": 100, "control_heads": 1,
            "head_ms": 50, "codeplug_format": "5.11"}})",
        config);
    FrameLog log;
    RadioSimulator radio(config, log);
    EXPECT_EQ(radio.NextOwnMessageMs(0), RadioSimulator::kNoMessage);
    radio.Restart();
    EXPECT_EQ(radio.Config().codeplugFormat, (std::array<uint8_t, 2>{5, 11}));
    EXPECT_EQ(radio.NextOwnMessageMs(1000), 1000);  // counted from the first tick
    EXPECT_TRUE(radio.Tick(1000).empty());
    EXPECT_EQ(radio.NextOwnMessageMs(1000), 1100);
    EXPECT_EQ(radio.Tick(1099).size(), 0u);
    EXPECT_EQ(radio.Tick(1200).size(), 2u);  // both were due
    EXPECT_EQ(radio.NextOwnMessageMs(1200), RadioSimulator::kNoMessage);
}

}  // namespace
}  // namespace quillon::sim
