// quillon-tool info --json, parsed as JSON: the same findings as the text.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/sim/SimProcess.h"
#include "tests/support/ChildProcess.h"

namespace {

using quillon::sim::testing::SimProcess;
using quillon::test::ProgramRun;

ProgramRun Tool(const std::vector<std::string>& args) {
    quillon::test::ProgramCall call =
        quillon::test::Program(QUILLON_BINARY_DIR "/tools/quillon-tool", args);
    call.timeoutMs = 30000;
    return quillon::test::RunProgram(call);
}

// "Radio Serial Number:  01-AB" -> radio_serial_number, as the JSON names it.
std::string Key(std::string heading) {
    std::string key;
    for (char c : heading.substr(0, heading.find(':'))) {
        key += c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

TEST(InfoJson, EveryLineOfTheTextIsAField) {
    SimProcess sim({"--serial", "01AB00FF107EBA09", "--controller-version", "4.2.17"});
    const std::string device = sim.FirstLine();
    ASSERT_FALSE(device.empty()) << sim.ErrorText();
    const ProgramRun text = Tool({"info", "--port", device});
    const ProgramRun json = Tool({"info", "--json", "--port", device});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const nlohmann::json info = nlohmann::json::parse(json.out);
    EXPECT_EQ(info["port"], device);
    std::istringstream lines(text.out);
    std::string line;
    int fields = 0;
    while (std::getline(lines, line)) {
        const std::string value = line.substr(22);
        EXPECT_EQ(info[Key(line)], value) << line;
        ++fields;
    }
    EXPECT_EQ(fields, 7);
    EXPECT_EQ(info["radio_serial_number"], "01-AB-00-FF-10-7E-BA-09");
}

}  // namespace
