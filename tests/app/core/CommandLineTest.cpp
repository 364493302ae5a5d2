#include "app/core/CommandLine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "app/core/TerminalConsole.h"

namespace quillon::test {
namespace {

class RecordingConsole : public ConsoleWindow {
public:
    bool Open(const std::string& title) override {
        titles.push_back(title);
        return opens;
    }
    bool Write(const std::string& text) override {
        written += text;
        return true;
    }
    void WaitForEnter() override { ++waits; }
    void Minimise(const std::string& title) override { minimised = title; }
    void Close() override { ++closes; }

    bool opens = true;
    std::vector<std::string> titles;
    std::string written;
    std::string minimised;
    int waits = 0;
    int closes = 0;
};

const std::string kUsage =
    "Usage: quillon-updater\n\t/?\t\t\t\t\t\t- Help\n\t/d /sp PortNumber /c /m\t\t\t\t- Download "
    "code\n\nThe /c option (close on finish) is not required and defaults to \"No\".\nThe /m "
    "option (minimize during run) is not required and defaults to \"No\".\nIf both options are "
    "specified, the /c option should be specified first.\n\nFor download, batch programs can "
    "use the return code to determine the status:\n\t0 = Success.\n\t1 = General error.\n\t2 = "
    "Bootloader code needed upgraded.\n\t3 = Codeplug conversion error (Application code "
    "successfully upgraded).";
const std::string kPrompt = "\n\nPress <ENTER> to close.";
const std::string kBadPort =
    "Invalid command line options (Need valid/available COM Port number).\n";

struct Row {
    std::vector<std::string> args;
    std::string written;  // everything on the console
    int returnCode;
    const char* title;
    bool runs;  // the update ran
    bool minimised;
    int probes;  // ports tested
};

TEST(CommandLine, EveryOptionCaseByteForByte) {
    const char* console = "Quillon Code Updater Console";
    const char* com3 = "Quillon Code Updater Console [COM 3]";
    const std::string usage = kUsage + kPrompt;
    const std::string invalid = "Invalid command line options.\n" + kPrompt;
    const std::string noPort = "Invalid command line options (Need COM Port option).\n" + kPrompt;
    const std::string badPort = kBadPort + kPrompt;
    const std::string update = "update" + kPrompt;
    // clang-format off
    const Row rows[] = {
        // args                                   written   code title    runs   min    probes
        {{"/?"},                                  usage,    0,   console, false, false, 0},
        {{"/?", "/d", "/sp", "3"},                usage,    0,   console, false, false, 0},
        {{"/D"},                                  invalid,  1,   console, false, false, 0},
        {{"/d"},                                  noPort,   1,   console, false, false, 0},
        {{"/d", "/SP", "3"},                      noPort,   1,   console, false, false, 0},
        {{"/d", "/sp"},                           badPort,  1,   console, false, false, 0},
        {{"/d", "/sp", "seven"},                  badPort,  1,   console, false, false, 0},
        {{"/d", "/sp", "7x"},                     badPort,  1,   console, false, false, 0},
        {{"/d", "/sp", "99999999999999999999"},   badPort,  1,   console, false, false, 0},
        {{"/d", "/sp", "256"},                    badPort,  1,   console, false, false, 0},
        {{"/d", "/sp", "256", "/c"},              kBadPort, 1,   console, false, false, 0},
        {{"/d", "/sp", "4"},                      badPort,  1,   console, false, false, 1},
        {{"/d", "/sp", "3"},                      update,   0,   com3,    true,  false, 1},
        {{"/d", "/sp", "3", "/c"},                "update", 0,   com3,    true,  false, 1},
        {{"/d", "/sp", "3", "/c", "/m"},          "update", 0,   com3,    true,  true,  1},
        {{"/d", "/sp", "3", "/m", "/c"},          update,   0,   com3,    true,  true,  1},
        {{"/d", "/sp", "3", "extra"},             update,   0,   com3,    true,  false, 1},
        {{"/d", "/sp", "/dev/ttyFAKE", "/c"},     "update", 0,   "Quillon Code Updater Console [/dev/ttyFAKE]", true, false, 1},
    };
    // clang-format on
    for (const Row& row : rows) {
        std::string joined;
        for (const std::string& a : row.args) {
            joined += a + " ";
        }
        SCOPED_TRACE(joined);
        RecordingConsole consoleWindow;
        int returnCode = -1;
        int probes = 0;
        bool ran = false;
        CommandLine::Hooks hooks;
        hooks.portAvailable = [&](const ConsolePort& port) {
            ++probes;
            return port.number == 3 || port.path == "/dev/ttyFAKE";
        };
        hooks.runUpdate = [&](const ConsolePort&) {
            ran = true;
            consoleWindow.Write("update");
        };
        hooks.setReturnCode = [&](int code) { returnCode = code; };
        hooks.sleepMs = [](int) {};
        CommandLine::Run(row.args, "quillon-updater", consoleWindow, hooks);
        EXPECT_EQ(consoleWindow.written, row.written);
        EXPECT_EQ(returnCode, row.returnCode);
        ASSERT_EQ(consoleWindow.titles.size(), 1u);
        EXPECT_EQ(consoleWindow.titles[0], row.title);
        EXPECT_EQ(ran, row.runs);
        EXPECT_EQ(!consoleWindow.minimised.empty(), row.minimised);
        EXPECT_EQ(probes, row.probes);
        EXPECT_EQ(consoleWindow.waits, row.written.ends_with(kPrompt) ? 1 : 0);
        EXPECT_EQ(consoleWindow.closes, 1);
    }
}

TEST(CommandLine, WithoutAConsoleNothingRunsAndNothingIsWritten) {
    RecordingConsole consoleWindow;
    consoleWindow.opens = false;
    int returnCode = -1;
    bool ran = false;
    CommandLine::Hooks hooks{[](const ConsolePort&) { return true; },
                             [&](const ConsolePort&) { ran = true; },
                             [&](int code) { returnCode = code; }, [](int) {}};
    CommandLine::Run({"/d", "/sp", "3"}, "quillon-updater", consoleWindow, hooks);
    EXPECT_FALSE(ran);
    EXPECT_EQ(returnCode, 0);
    EXPECT_EQ(consoleWindow.written, "");
    EXPECT_EQ(consoleWindow.waits + consoleWindow.closes, 0);
}

TEST(TerminalConsole, WritesOnlyTheTextAndReturnsAtTheEndOfInput) {
    std::FILE* out = std::tmpfile();
    std::FILE* in = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ASSERT_NE(in, nullptr);
    std::fputs("first line\nsecond", in);
    std::rewind(in);
    TerminalConsole console(out, in);
    EXPECT_TRUE(console.Open("A title"));  // not a terminal: no title sequence
    console.Write("text\n");
    console.WaitForEnter();
    EXPECT_EQ(std::fgetc(in), 's');  // one line was taken
    console.WaitForEnter();
    console.WaitForEnter();  // at the end of input it returns at once
    console.Close();
    std::rewind(out);
    char buffer[64] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, out), 5u);
    EXPECT_STREQ(buffer, "text\n");
    EXPECT_EQ(TerminalConsole::TitleSequence("Q [COM 7]\a\033"), "\033]0;Q [COM 7]\007");
    std::fclose(out);
    std::fclose(in);
}

}  // namespace
}  // namespace quillon::test
