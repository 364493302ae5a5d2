#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sim/SimProcess.h"
#include "tests/tools/codeplug/ToolRunner.h"

namespace {

using quillon::sim::testing::SimProcess;
using quillon::tooltest::ToolResult;
using quillon::tooltest::ToolRunner;

// The default build: 6700, series 6, boot 6.7.
struct Case {
    const char* what;
    std::vector<std::string> radio;  // quillon-radiosim options
    int exitCode;
    std::vector<std::string> texts;  // each must appear in the output
};

class IdentifyCommand : public ::testing::TestWithParam<Case> {};

TEST_P(IdentifyCommand, GivesTheVerdictInTheUpdatersWords) {
    const Case& c = GetParam();
    SimProcess sim(c.radio);
    const std::string device = sim.FirstLine();
    ASSERT_FALSE(device.empty()) << sim.ErrorText();
    ToolRunner tool;
    const ToolResult run = tool.Run({"identify", "--port", device});
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
    EXPECT_NE(run.out.find("6700, series 6, Application/Boot, boot 6.7"), std::string::npos)
        << run.out;
    for (const std::string& text : c.texts) {
        EXPECT_NE(run.out.find(text), std::string::npos) << "missing: " << text << "\n" << run.out;
    }
    // The port is called connected only once the radio has answered; a silent one gets a hint.
    const bool answered = c.exitCode != 2;
    EXPECT_EQ(run.out.find(": connected\n") != std::string::npos, answered) << run.out;
    EXPECT_EQ(run.err.find("No answer from the radio on " + device) != std::string::npos, !answered)
        << run.err;
}

const char kSeries4[] =
    "This version of Quillon Code Updater does not match the radio series.\n"
    "Radio requires a 6700_Series_4 version of Quillon Code Updater.";
const char kMajor[] = "Error: the major boot versions of the radio and file are different.";

INSTANTIATE_TEST_SUITE_P(
    Radios, IdentifyCommand,
    ::testing::Values(Case{"fitting",
                           {"--boot-version", "6.7"},
                           0,
                           {"Boot Load Version:              6.7\n", "matches this build",
                            "The boot version is current and does not need to be upgraded.",
                            "Verdict: this build may update the radio."}},
                      Case{
                          "older_boot",
                          {"--boot-version", "6.5"},
                          0,
                          {"will be upgraded to 6.7", "Verdict: this build may update the radio."}},
                      Case{"mobile_radio",
                           {"--kind", "mobile"},
                           1,
                           {"This Quillon Code Updater is intended for a portable radio, and\n"
                            "cannot be used with the connected mobile radio.",
                            "Verdict: this build refuses the radio."}},
                      Case{"other_boot_generation",
                           {"--boot-version", "4.2"},
                           1,
                           {kMajor, kSeries4, "Verdict: this build refuses the radio."}},
                      Case{"series_mismatch",
                           {"--boot-version", "5.3"},
                           1,
                           {"Radio requires a 6700_Series_5 version of Quillon Code Updater."}},
                      Case{"silent",
                           {"--fault", "*:silent"},
                           2,
                           {"Communication error while retrieving version information."}}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
