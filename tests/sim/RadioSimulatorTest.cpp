#include "sim/RadioSimulator.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quillon::sim {
namespace {

// The updater's way of reading replies, written out on its own: a start byte empties the
// buffer, an end byte completes a frame only when the second collected byte is 7F, and a frame
// whose unstuffed bytes do not add up to 0 is dropped.
std::vector<Bytes> UpdaterAccepts(const Bytes& stream) {
    std::vector<Bytes> accepted;
    Bytes collected;
    for (uint8_t byte : stream) {
        if (byte == 0xBA) {
            collected.clear();
        } else if (byte != 0x7E) {
            collected.push_back(byte);
        } else if (collected.size() >= 2 && collected[1] == 0x7F) {
            Bytes plain;
            for (size_t i = 0; i < collected.size(); ++i) {
                if (collected[i] == 0x10 && i + 1 < collected.size()) {
                    const uint8_t code = collected[++i];
                    plain.push_back(code == 0 ? 0xBA : code == 1 ? 0x7E : 0x10);
                } else {
                    plain.push_back(collected[i]);
                }
            }
            unsigned sum = 0;
            for (uint8_t b : plain) {
                sum += b;
            }
            if (sum % 256 == 0 && plain.size() >= 3) {
                accepted.emplace_back(plain.begin() + 2, plain.end() - 1);
            }
            collected.clear();
        }
    }
    return accepted;
}

Bytes Concatenate(const std::vector<OutputStep>& steps) {
    Bytes all;
    for (const OutputStep& step : steps) {
        all.insert(all.end(), step.bytes.begin(), step.bytes.end());
    }
    return all;
}

const Bytes kFormatQuery{0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x60, 0x7E};
const Bytes kBootQuery{0xBA, 0x7F, 0x01, 0x04, 0x2D, 0x4F, 0x7E};
const Bytes kFastSpeed{0xBA, 0x7F, 0x01, 0x09, 0x00, 0x05, 0x72, 0x7E};

FaultRule Fault(Bytes code) {
    FaultRule rule;
    rule.code = std::move(code);
    return rule;
}

class RadioSimulatorTest : public ::testing::Test {
protected:
    std::vector<OutputStep> Run(const Bytes& input) {
        if (!radio_) {
            radio_ = std::make_unique<RadioSimulator>(config_, log_);
        }
        return radio_->Receive(input);
    }

    RadioConfig config_;
    std::ostringstream logText_;
    FrameLog log_{logText_};
    std::unique_ptr<RadioSimulator> radio_;
};

TEST_F(RadioSimulatorTest, AnswersAQueryAndLogsBothDirections) {
    const auto steps = Run(kFormatQuery);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].bytes, (Bytes{0xBA, 0x01, 0x7F, 0x04, 0x1D, 0x05, 0x0B, 0x4F, 0x7E}));
    EXPECT_EQ(steps[0].delayMs, 0);
    EXPECT_EQ(steps[0].logKind + " " + steps[0].logText, "TX 04 1D 05 0B");
    EXPECT_EQ(logText_.str(), "RX 04 1C\n");
}

TEST_F(RadioSimulatorTest, LogsDroppedFramesAndAnswersTheNextGoodOne) {
    Bytes input{0xBA, 0x7F, 0x01, 0x04, 0x1C, 0x61, 0x7E};  // bad checksum
    input.insert(input.end(), kFormatQuery.begin(), kFormatQuery.end());
    const auto steps = Run(input);
    EXPECT_EQ(UpdaterAccepts(Concatenate(steps)), (std::vector<Bytes>{{0x04, 0x1D, 5, 11}}));
    EXPECT_EQ(logText_.str(), "DROP bad checksum: 7F 01 04 1C 61\nRX 04 1C\n");
}

// The codeplug password stays out of the log, good frame or dropped, as in the updater's trace:
// its length and code bytes stay, an escaped byte counts as one.
TEST_F(RadioSimulatorTest, LogsTheCodeplugPasswordMasked) {
    const Bytes password{0x03, 0x0C, 0x10, 0x79, 0xFF, 0xFF};  // "1079", 10 sent escaped
    Bytes input =
        RadioFramer::BuildFrame(password, RadioFramer::kRequestH1, RadioFramer::kMessageH2);
    const Bytes bad =
        RadioFramer::BuildFrame(password, RadioFramer::kRequestH1, RadioFramer::kMessageH2, 1);
    input.insert(input.end(), bad.begin(), bad.end());
    Run(input);
    const std::string log = logText_.str();
    EXPECT_NE(log.find("RX 03 0C ** ** ** **\n"), std::string::npos) << log;
    EXPECT_NE(log.find("DROP bad checksum: 7F 01 03 0C ** ** ** ** **\n"), std::string::npos)
        << log;
    EXPECT_EQ(log.find("79"), std::string::npos) << log;
}

TEST_F(RadioSimulatorTest, ChangesSpeedAfterTheFrameAndAfterEarlierAnswers) {
    Bytes input = kFormatQuery;
    input.insert(input.end(), kFastSpeed.begin(), kFastSpeed.end());
    const auto steps = Run(input);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].logKind, "TX");
    EXPECT_TRUE(steps[1].bytes.empty());
    EXPECT_EQ(steps[1].speed, 115200u);
    EXPECT_EQ(steps[1].logKind + " " + steps[1].logText, "SPEED 115200");
}

TEST_F(RadioSimulatorTest, SpoiltCopiesComeFirstAndTheUpdaterStillGetsOneGoodAnswer) {
    FaultRule rule = Fault({0x04, 0x1C});
    rule.noise = 40;
    rule.badChecksumFirst = true;
    rule.wrongH2First = true;
    rule.delayMs = 250;
    config_.faults = {rule};
    const auto steps = Run(kFormatQuery);
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].logKind, "NOISE");
    EXPECT_EQ(steps[0].bytes.size(), 40u);
    EXPECT_EQ(std::count(steps[0].bytes.begin(), steps[0].bytes.end(), 0xBA), 0);
    EXPECT_EQ(steps[1].logKind, "TX-BADSUM");
    EXPECT_EQ(steps[2].logKind, "TX-BADH2");
    EXPECT_EQ(steps[3].logKind, "TX");
    // The delay is paid once, before the first byte.
    EXPECT_EQ(steps[0].delayMs, 250);
    EXPECT_EQ(steps[1].delayMs + steps[2].delayMs + steps[3].delayMs, 0);
    EXPECT_EQ(UpdaterAccepts(Concatenate(steps)), (std::vector<Bytes>{{0x04, 0x1D, 5, 11}}));
    // Each spoilt copy on its own is refused.
    EXPECT_TRUE(UpdaterAccepts(steps[1].bytes).empty());
    EXPECT_TRUE(UpdaterAccepts(steps[2].bytes).empty());
}

TEST_F(RadioSimulatorTest, SilenceAndUnableAnswerAreCountedPerRule) {
    FaultRule unable = Fault({0x04, 0x2D});
    unable.answerUnable = true;
    unable.times = 2;
    FaultRule silent = Fault({});
    silent.silent = true;
    silent.times = 1;
    config_.faults = {silent, unable};

    // The message rule wins over the rule for every request.
    EXPECT_EQ(UpdaterAccepts(Concatenate(Run(kBootQuery))), (std::vector<Bytes>{{0x04, 0x20}}));
    EXPECT_EQ(UpdaterAccepts(Concatenate(Run(kBootQuery))), (std::vector<Bytes>{{0x04, 0x20}}));
    // Used up: the catch-all rule applies once, then the radio answers normally.
    EXPECT_TRUE(Run(kBootQuery).empty());
    EXPECT_EQ(UpdaterAccepts(Concatenate(Run(kBootQuery))),
              (std::vector<Bytes>{{0x04, 0x2E, 6, 7}}));
    EXPECT_NE(logText_.str().find("SILENT 04 2D\n"), std::string::npos);
}

TEST_F(RadioSimulatorTest, RequestsWithoutAnAnswerUseUpNoFault) {
    FaultRule silent = Fault({});
    silent.silent = true;
    silent.times = 1;
    config_.faults = {silent};
    const auto speedSteps = Run(kFastSpeed);
    ASSERT_EQ(speedSteps.size(), 1u);
    EXPECT_EQ(speedSteps[0].speed, 115200u);
    EXPECT_TRUE(Run(kFormatQuery).empty());
    EXPECT_EQ(Run(kFormatQuery).size(), 1u);
}

TEST_F(RadioSimulatorTest, FamilyRuleAppliesToItsFamilyOnly) {
    FaultRule rule = Fault({0x04});
    rule.silent = true;
    config_.box = true;
    config_.faults = {rule};
    EXPECT_TRUE(Run(kFormatQuery).empty());
    const Bytes probe{0xBA, 0x7F, 0x4F, 0x09, 0x01, 0x77, 0x77, 0x77, 0xC3, 0x7E};
    EXPECT_EQ(UpdaterAccepts(Concatenate(Run(probe))),
              (std::vector<Bytes>{{0x09, 0x02, 0x00, 0x01, 0x00, 0x00}}));
}

}  // namespace
}  // namespace quillon::sim
