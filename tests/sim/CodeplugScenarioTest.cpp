#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "sim/ScenarioLoader.h"
#include "sim/SimCommandLine.h"
#include "tests/sim/SimProcess.h"

namespace quillon::sim {
namespace {

using testing::TempDir;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

int Parse(std::vector<std::string> args, SimOptions& options, std::string& err) {
    args.insert(args.begin(), "quillon-radiosim");
    std::vector<const char*> argv;
    for (const std::string& a : args) {
        argv.push_back(a.c_str());
    }
    std::ostringstream out;
    std::ostringstream errText;
    const std::optional<int> code =
        ParseSimCommandLine(static_cast<int>(argv.size()), argv.data(), options, out, errText);
    err = errText.str();
    return code.value_or(-1);
}

TEST(CodeplugScenario, KeysAndOptionsConfigureTheCodeplug) {
    TempDir dir;
    WriteText(dir.Path() + "/plug.bin", std::string("\x5F\x5F\x00\x02", 4));
    WriteText(dir.Path() + "/radio.json",
              R"({"codeplug": "plug.bin", "codeplug_out": "/x/out.bin",
                  "codeplug_password": "0042", "codeplug_0725": true,
                  "codeplug_bad_checksum_pair": 3, "codeplug_silent_block": 9})");
    // Run from elsewhere: the codeplug is found beside the scenario.
    SimOptions options;
    std::string err;
    ASSERT_EQ(Parse({"--scenario", dir.Path() + "/radio.json"}, options, err), -1) << err;
    const CodeplugConfig& c = options.config.codeplug;
    EXPECT_EQ(c.image, (Bytes{0x5F, 0x5F, 0x00, 0x02}));
    EXPECT_EQ(c.outPath, "/x/out.bin");
    EXPECT_EQ(c.password, "0042");
    EXPECT_TRUE(c.restartNotice);
    EXPECT_EQ(c.badChecksumPair, 3);
    EXPECT_EQ(c.silentBlock, 9);

    SimOptions overridden;
    ASSERT_EQ(Parse({"--scenario", dir.Path() + "/radio.json", "--codeplug-password", "7",
                     "--codeplug-silent-block", "0"},
                    overridden, err),
              -1)
        << err;
    EXPECT_EQ(overridden.config.codeplug.password, "7");
    EXPECT_EQ(overridden.config.codeplug.silentBlock, 0);
}

TEST(CodeplugScenario, BadValuesAreRefused) {
    TempDir dir;
    WriteText(dir.Path() + "/big.bin", std::string(65537, '\x11'));
    const std::vector<std::string> bad[] = {
        {"--codeplug-password", "12a4"},
        {"--codeplug-password", "123456789"},
        {"--codeplug", dir.Path() + "/missing.bin"},
        {"--codeplug", dir.Path() + "/big.bin"},
        {"--codeplug-silent-block", "512"},
    };
    for (const auto& args : bad) {
        SimOptions options;
        std::string err;
        EXPECT_EQ(Parse(args, options, err), 2) << args[0] << " " << args[1];
        EXPECT_FALSE(err.empty());
    }
    RadioConfig config;
    EXPECT_THROW(LoadScenarioText(R"({"codeplug_password": 1234})", config), ScenarioError);
    EXPECT_THROW(LoadScenarioText(R"({"codeplug_silent_block": -1})", config), ScenarioError);
}

}  // namespace
}  // namespace quillon::sim
