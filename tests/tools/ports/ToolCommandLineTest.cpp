// The tool's command line as a user meets it: --version, the help pages, and the errors for
// words it does not know. No radio is needed.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace quillon {
namespace {

test::ProgramRun RunTool(const std::vector<std::string>& args) {
    return test::RunProgram(test::Program(QUILLON_BINARY_DIR "/tools/quillon-tool", args));
}

TEST(ToolCommandLine, VersionNamesReleaseBuildAndProfile) {
    const test::ProgramRun run = RunTool({"--version"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(
        std::regex_match(run.out, std::regex(R"(quillon-tool [0-9][0-9.]* \(build [A-Za-z0-9._+-]+\)
Profile: 6700_Series_6 \(6700, series 6, Application/Boot, boot 6\.7, radio type code 0\)
)"))) << run.out;
}

// Each refused command line names the word at fault and, where one is near, the word meant.
TEST(ToolCommandLine, ArgumentErrorsNameTheWordAndTheNearestOne) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"info", "--prot", "7"},
         "error: unknown option '--prot' for 'info'; did you mean '--port'?\n"},
        {{"info", "-p", "7"}, "error: unknown option '-p' for 'info'; did you mean '--port'?\n"},
        {{"info", "7"}, "error: unexpected argument '7' for 'info'; did you mean '--port 7'?\n"},
        {{"info", "--port", "7", "--verbose"}, "error: unknown option '--verbose' for 'info'\n"},
        {{"codeplug", "read", "--prot=7", "x"},
         "error: unknown option '--prot' for 'codeplug read'; did you mean '--port'?\n"},
        {{"ifno"},
         "error: unknown command 'ifno' (commands: codeplug, download, fleet, identify, info, log, "
         "ports); did you mean 'info'?\n"},
        {{"codeplug", "reed"},
         "error: unknown command 'reed' for 'codeplug' (commands: check, "
         "info, convert, verify511, sample, read, write); did you mean "
         "'read'?\n"},
        {{},
         "error: a command is needed (commands: codeplug, download, fleet, identify, info, log, "
         "ports)\n"},
        {{"info"}, "error: info: --port is required\n"},
        {{"info", "--port"}, "error: info: --port needs a value\n"},
        {{"info", "--port", "3", "--radio-type", "2"}, "error: info: --radio-type: 2 not in "},
        {{"ports", "--bogus"}, "error: unknown option '--bogus' for 'ports'\n"},
    };
    for (const Case& c : cases) {
        const test::ProgramRun run = RunTool(c.args);
        SCOPED_TRACE(c.err);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
        EXPECT_NE(run.err.find("Run 'quillon-tool"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

// Every help page states the one exit-code convention (identify its verdicts), names the
// program rather than the path it ran from, and shows no parser types.
TEST(ToolCommandLine, HelpPagesShareTheExitCodesAndShowNoParserTypes) {
    const std::string convention =
        "Exit codes: 0 done; 1 the radio or the transfer failed or refused; 2 usage error or a "
        "file refused;\n130 interrupted.";
    const std::vector<std::vector<std::string>> pages = {{"--help"},
                                                         {"info", "--help"},
                                                         {"ports", "--help"},
                                                         {"download", "--help"},
                                                         {"codeplug", "--help"},
                                                         {"codeplug", "read", "--help"},
                                                         {"codeplug", "convert", "--help"},
                                                         {"identify", "--help"}};
    for (const auto& page : pages) {
        const test::ProgramRun run = RunTool(page);
        SCOPED_TRACE(page.front() + " " + page[page.size() > 1 ? 1 : 0]);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.out.find("Usage: quillon-tool"), std::string::npos) << run.out;
        const bool identify = page.front() == "identify";
        EXPECT_EQ(run.out.find(convention) != std::string::npos, !identify) << run.out;
        for (const char* noise : {"TEXT", "INT", "REQUIRED", ":{", "=0", "/tools/"}) {
            EXPECT_EQ(run.out.find(noise), std::string::npos) << noise << "\n" << run.out;
        }
        if (identify) {
            EXPECT_NE(run.out.find("three verdicts"), std::string::npos) << run.out;
        }
    }
    // Radio type codes are named.
    const test::ProgramRun info = RunTool({"info", "--help"});
    EXPECT_NE(info.out.find("1 6900 series 1"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("8 6900 series 6"), std::string::npos) << info.out;
}

}  // namespace
}  // namespace quillon
