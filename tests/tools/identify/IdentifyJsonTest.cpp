// quillon-tool identify --json, parsed as JSON: the checks and the verdict as fields.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/sim/SimProcess.h"
#include "tests/tools/codeplug/ToolRunner.h"

namespace {

using quillon::sim::testing::SimProcess;
using quillon::tooltest::ToolResult;
using quillon::tooltest::ToolRunner;

TEST(IdentifyJson, GivesTheChecksAndVerdictAsFields) {
    struct Case {
        std::vector<std::string> radio;
        int exitCode;
        const char* field;
        const char* value;
    };
    const Case cases[] = {
        {{"--boot-version", "6.7"},
         0,
         "boot_version",
         "The boot version is current and does not need to be upgraded."},
        {{"--kind", "mobile"},
         1,
         "portable_or_mobile",
         "This Quillon Code Updater is intended for a portable radio, and\ncannot be used with "
         "the connected mobile radio."},
        // The target check's refusal, shown in a box in the text, is the target_radio field.
        {{"--boot-version", "4.2"},
         1,
         "target_radio",
         "[Quillon Code Updater] This version of Quillon Code Updater does not match the radio "
         "series.\nRadio requires a 6700_Series_4 version of Quillon Code Updater."},
    };
    for (const Case& c : cases) {
        SimProcess sim(c.radio);
        const std::string device = sim.FirstLine();
        ASSERT_FALSE(device.empty()) << sim.ErrorText();
        const ToolResult run = ToolRunner().Run({"identify", "--json", "--port", device});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
        const nlohmann::json found = nlohmann::json::parse(run.out);
        EXPECT_EQ(found["exit_code"], c.exitCode);
        EXPECT_EQ(found[c.field], c.value) << run.out;
        EXPECT_EQ(found["port"], device);
        EXPECT_EQ(found["radio_serial_number"], "12-34-56-78-9A-BC-DE-F0");
        EXPECT_EQ(found["verdict"], c.exitCode == 0 ? "this build may update the radio."
                                                    : "this build refuses the radio.");
    }
}

}  // namespace
