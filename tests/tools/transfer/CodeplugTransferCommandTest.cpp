#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/parms/support/CodeplugGenerator.h"
#include "tests/sim/SimProcess.h"
#include "tests/tools/codeplug/ToolRunner.h"

namespace {

using quillon::sim::testing::SimProcess;
using quillon::tooltest::ToolResult;
using quillon::tooltest::ToolRunner;
using Bytes = std::vector<uint8_t>;

// A well-formed codeplug of format 5.N (index 3 to 5) as the radio sends it.
Bytes GeneratedCodeplug(uint32_t seed, uint8_t formatIndex) {
    quillon::testkit::CodeplugGenerator generator(seed);
    quillon::testkit::GeneratorOptions options;
    options.formatIndex = formatIndex;
    options.size = quillon::testkit::ImageSize::Small;
    const quillon::testkit::GeneratedImage image = generator.Generate(options);
    return quillon::testkit::ToRadioBytes(image.words, image.totalLength);
}

// The radio stores a download when 03 04 reaches it, which may be just after the tool ended.
bool AwaitFile(const ToolRunner& tool, const std::string& name) {
    for (int i = 0; i < 300 && !tool.Exists(name); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return tool.Exists(name);
}

// Backups of `codeplug write` go to the scratch folder of `tool`, never to the user's.
struct ScratchDataHome {
    explicit ScratchDataHome(const ToolRunner& tool) : folder(tool.Path("data")) {
        ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~ScratchDataHome() { ::unsetenv("XDG_DATA_HOME"); }
    std::vector<std::filesystem::path> Backups() const {
        std::vector<std::filesystem::path> found;
        std::error_code ignored;
        for (const auto& entry :
             std::filesystem::directory_iterator(folder + "/quillon/backups", ignored)) {
            found.push_back(entry.path());
        }
        return found;
    }
    std::string folder;
};

// A virtual radio for one test; `extra` are further options.
struct Radio {
    Radio(const ToolRunner& tool, std::vector<std::string> extra) {
        std::vector<std::string> args{"--log", tool.Path("radio.log")};
        args.insert(args.end(), extra.begin(), extra.end());
        process = std::make_unique<SimProcess>(args);
        path = process->FirstLine();
    }
    std::unique_ptr<SimProcess> process;
    std::string path;
};

TEST(CodeplugTransferCommand, WriteThenReadGivesBackTheSameBytes) {
    ToolRunner tool;
    const ScratchDataHome home(tool);
    tool.WriteFile("source.bin", GeneratedCodeplug(7, 3));

    // A backup from a radio holding the generated codeplug.
    Bytes backup;
    {
        Radio radio(tool, {"--codeplug", tool.Path("source.bin"), "--codeplug-format", "5.8"});
        ASSERT_FALSE(radio.path.empty());
        const ToolResult read =
            tool.Run({"codeplug", "read", "--port", radio.path, tool.Path("backup.bin")});
        ASSERT_EQ(read.exitCode, 0) << read.err;
        backup = tool.ReadFile("backup.bin");
        EXPECT_NE(read.out.find("format 5.8, " + std::to_string(backup.size()) + " bytes"),
                  std::string::npos)
            << read.out;
        // The upload holds the whole image, its trailer included, in whole blocks.
        const Bytes source = tool.ReadFile("source.bin");
        ASSERT_FALSE(backup.empty());
        EXPECT_EQ(backup.size() % 128, 0u);
        EXPECT_GE(backup.size(), source.size());
        const size_t shared = std::min(source.size(), backup.size());
        EXPECT_TRUE(
            std::equal(source.begin(), source.begin() + static_cast<long>(shared), backup.begin()));
    }

    // Written into a radio that held nothing, then read back.
    Radio radio(tool, {"--codeplug-format", "5.8", "--codeplug-out", tool.Path("stored.bin"),
                       "--serial", "0011223344556677"});
    ASSERT_FALSE(radio.path.empty());
    const ToolResult write =
        tool.Run({"codeplug", "write", "--port", radio.path, tool.Path("backup.bin")});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    ASSERT_TRUE(AwaitFile(tool, "stored.bin"));
    const Bytes stored = tool.ReadFile("stored.bin");
    // The radio descrambled exactly the file, then blanks up to an even number of blocks.
    ASSERT_EQ(stored.size() % 256, 0u);
    ASSERT_GE(stored.size(), backup.size());
    EXPECT_TRUE(std::equal(backup.begin(), backup.end(), stored.begin()));
    EXPECT_TRUE(std::all_of(stored.begin() + static_cast<long>(backup.size()), stored.end(),
                            [](uint8_t b) { return b == 0x20; }));

    const ToolResult read =
        tool.Run({"codeplug", "read", "--port", radio.path, tool.Path("again.bin")});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(tool.ReadFile("again.bin"), backup);
}

// The README's practice radio, taken by its scenario name as there, holds a codeplug to read.
TEST(CodeplugTransferCommand, TheReadmeRadioHoldsAWellFormedCodeplug) {
    ToolRunner tool;
    Radio radio(tool, {"--scenario", "portable-6700"});
    ASSERT_FALSE(radio.path.empty()) << radio.process->ErrorText();
    const ToolResult read =
        tool.Run({"codeplug", "read", "--port", radio.path, tool.Path("plug.bin")});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_NE(read.out.find("format 5.11"), std::string::npos) << read.out;
    EXPECT_EQ(read.err, "");
    const ToolResult check = tool.Run({"codeplug", "check", tool.Path("plug.bin")});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

struct RefusalCase {
    const char* name;
    Bytes file;
    std::vector<std::string> radioOptions;
    std::vector<std::string> toolOptions;
    int exitCode;
    bool stored;
    const char* says = "";  // in the tool's error output
};

TEST(CodeplugTransferCommand, WriteRefusesWhatItShouldNot) {
    const Bytes codeplug58 = GeneratedCodeplug(11, 3);
    Bytes malformed = codeplug58;
    malformed[2] ^= 0x01;  // the header block's length no longer fits
    Bytes cut = codeplug58;
    cut.resize(cut.size() - 2);  // the last word of the trailer is missing
    const RefusalCase cases[] = {
        {"a format other than the radio's",
         codeplug58,
         {"--codeplug-format", "5.11"},
         {},
         2,
         false},
        {"a format other than the radio's, forced",
         codeplug58,
         {"--codeplug-format", "5.11"},
         {"--force"},
         0,
         true},
        {"a malformed file", malformed, {"--codeplug-format", "5.8"}, {"--force"}, 2, false},
        {"an empty file", {}, {"--codeplug-format", "5.8"}, {}, 2, false},
        {"a file cut inside its trailer",
         cut,
         {"--codeplug-format", "5.8"},
         {"--force", "--no-backup"},
         2,
         false,
         "ends after"},
        {"a password nobody can type",
         codeplug58,
         {"--codeplug-format", "5.8", "--codeplug-password", "1234"},
         {},
         1,
         false},
        {"a radio that falls silent",
         codeplug58,
         {"--codeplug-format", "5.8", "--codeplug-silent-block", "3"},
         {},
         1,
         false},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        ToolRunner tool;
        const ScratchDataHome home(tool);
        tool.WriteFile("in.bin", c.file);
        std::vector<std::string> radioOptions = c.radioOptions;
        radioOptions.insert(radioOptions.end(), {"--codeplug-out", tool.Path("stored.bin")});
        Radio radio(tool, radioOptions);
        ASSERT_FALSE(radio.path.empty());
        std::vector<std::string> args{"codeplug", "write", "--port", radio.path};
        args.insert(args.end(), c.toolOptions.begin(), c.toolOptions.end());
        args.push_back(tool.Path("in.bin"));
        const ToolResult result = tool.Run(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
        if (c.stored) {
            EXPECT_TRUE(AwaitFile(tool, "stored.bin"));
        } else {
            // Stop the radio first, so nothing can still be on its way.
            radio.process->Stop(SIGTERM);
            EXPECT_FALSE(tool.Exists("stored.bin"));
        }
    }
}

// Before it writes, `codeplug write` reads what the radio holds and saves it as the updater
// saves its backups, unless told that the technician has one.
TEST(CodeplugTransferCommand, WriteSavesTheRadiosCodeplugFirst) {
    for (const bool backup : {true, false}) {
        SCOPED_TRACE(backup ? "with a backup" : "--no-backup");
        ToolRunner tool;
        const ScratchDataHome home(tool);
        const Bytes held = GeneratedCodeplug(21, 3);
        tool.WriteFile("held.bin", held);
        tool.WriteFile("in.bin", GeneratedCodeplug(22, 3));
        Radio radio(tool, {"--codeplug", tool.Path("held.bin"), "--codeplug-format", "5.8",
                           "--codeplug-out", tool.Path("stored.bin")});
        ASSERT_FALSE(radio.path.empty());
        std::vector<std::string> args{"codeplug", "write", "--port", radio.path};
        if (!backup) {
            args.push_back("--no-backup");
        }
        args.push_back(tool.Path("in.bin"));
        const ToolResult write = tool.Run(args);
        ASSERT_EQ(write.exitCode, 0) << write.out << write.err;
        ASSERT_TRUE(AwaitFile(tool, "stored.bin"));
        const auto backups = home.Backups();
        ASSERT_EQ(backups.size(), backup ? 1u : 0u);
        if (backup) {
            EXPECT_NE(write.out.find("saved to " + backups[0].string()), std::string::npos)
                << write.out;
            std::ifstream in(backups[0], std::ios::binary);
            const Bytes saved{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            ASSERT_GE(saved.size(), held.size());
            EXPECT_TRUE(std::equal(held.begin(), held.end(), saved.begin()));
        }
    }
}

// Only a radio that never answered gets the hint of what to check; one that failed partway
// answered, and the hint would send the technician to the cable for nothing.
TEST(CodeplugTransferCommand, ReadFailsCleanlyAndLeavesNoFile) {
    const struct {
        std::vector<std::string> options;
        bool noAnswer;
    } radios[] = {
        {{"--codeplug-password", "1234"}, false},
        {{"--codeplug-silent-block", "2"}, false},
        {{"--scenario", "silent-radio"}, true},
    };
    for (const auto& [options, noAnswer] : radios) {
        SCOPED_TRACE(options[1]);
        ToolRunner tool;
        std::vector<std::string> radioOptions = options;
        tool.WriteFile("source.bin", GeneratedCodeplug(5, 4));
        radioOptions.insert(radioOptions.end(), {"--codeplug", tool.Path("source.bin")});
        Radio radio(tool, radioOptions);
        ASSERT_FALSE(radio.path.empty());
        const ToolResult result =
            tool.Run({"codeplug", "read", "--port", radio.path, tool.Path("out.bin")});
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE(result.err.find("An error occurred while uploading the codeplug."),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(result.err.find("No answer from the radio on") != std::string::npos, noAnswer)
            << result.err;
        EXPECT_FALSE(tool.Exists("out.bin"));
    }
}

// An output file that cannot be written is refused before the radio is asked for anything;
// what a radio with erased memory sends is kept, named, and the exit says it is no codeplug.
TEST(CodeplugTransferCommand, ReadChecksItsFileFirstAndKeepsWhatIsNoCodeplug) {
    const struct {
        const char* name;
        bool holdsCodeplug;
        std::string file;
        int exitCode;
        bool kept;
        std::string says;  // on the error stream
    } cases[] = {
        {"missing folder", true, "nodir/out.bin", 2, false, "nodir does not exist"},
        {"erased memory", false, "out.bin", 1, true, "holds no well-formed codeplug"},
        {"a codeplug", true, "out.bin", 0, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ToolRunner tool;
        std::vector<std::string> radioOptions;
        if (c.holdsCodeplug) {
            tool.WriteFile("source.bin", GeneratedCodeplug(6, 4));
            radioOptions = {"--codeplug", tool.Path("source.bin")};
        }
        Radio radio(tool, radioOptions);
        ASSERT_FALSE(radio.path.empty());
        const ToolResult result =
            tool.Run({"codeplug", "read", "--port", radio.path, tool.Path(c.file)});
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
        EXPECT_EQ(tool.Exists(c.file), c.kept);
        if (c.kept && c.exitCode != 0) {
            EXPECT_NE(result.err.find(tool.Path(c.file)), std::string::npos) << result.err;
        }
        radio.process->Stop(SIGTERM);
        const auto log = tool.ReadFile("radio.log");
        // Off a terminal the upload is one line; before a refusal nothing reached the radio.
        EXPECT_EQ(result.out.find("upload: ") != std::string::npos, c.exitCode != 2) << result.out;
        EXPECT_EQ(std::string(log.begin(), log.end()).find("RX") != std::string::npos,
                  c.exitCode != 2);
    }
}

// A backup that could not be saved is refused before the radio's codeplug is read.
TEST(CodeplugTransferCommand, WriteChecksTheBackupFolderFirst) {
    ToolRunner tool;
    tool.WriteFile("in.bin", GeneratedCodeplug(7, 5));
    tool.WriteFile("data", {});  // a file where the data folder would be
    ::setenv("XDG_DATA_HOME", tool.Path("data").c_str(), 1);
    Radio radio(tool, {});
    ASSERT_FALSE(radio.path.empty());
    const ToolResult result =
        tool.Run({"codeplug", "write", "--port", radio.path, tool.Path("in.bin")});
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
    EXPECT_NE(result.err.find("nothing read or written"), std::string::npos) << result.err;
    radio.process->Stop(SIGTERM);
    const auto log = tool.ReadFile("radio.log");
    EXPECT_EQ(std::string(log.begin(), log.end()).find("RX"), std::string::npos);
}

// A stop signal ends the tool as its own failure does, with exit code 130: the wait for the
// radio ends at once, no file is left, and the port is free for the next run.
TEST(CodeplugTransferCommand, StopSignalsEndTheCommandWith130) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        ToolRunner tool;
        tool.WriteFile("source.bin", GeneratedCodeplug(5, 4));
        Radio radio(tool, {"--codeplug", tool.Path("source.bin"), "--codeplug-silent-block", "2"});
        ASSERT_FALSE(radio.path.empty());
        const ToolResult result =
            tool.Run({"codeplug", "read", "--port", radio.path, tool.Path("out.bin")}, signal, 700);
        EXPECT_EQ(result.exitCode, 130) << result.err;
        EXPECT_FALSE(result.killed);
        EXPECT_GE(result.msToEnd, 0);
        EXPECT_LT(result.msToEnd, 2000);
        EXPECT_EQ(tool.List(), (std::vector<std::string>{"radio.log", "source.bin"}));
        const ToolResult again = tool.Run({"info", "--port", radio.path});
        EXPECT_EQ(again.exitCode, 0) << again.err;
    }
}

// The tool on a terminal of its own, answering `password` at each password prompt. The exit
// code (-1 when it did not end) and the number of prompts.
std::pair<int, int> RunAnsweringPrompts(const std::vector<std::string>& args,
                                        const std::string& password) {
    const std::string program = QUILLON_BINARY_DIR "/tools/quillon-tool";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    std::string seen;
    int prompts = 0;
    for (;;) {
        pollfd p{terminal, POLLIN, 0};
        char buffer[256];
        const ssize_t n = ::poll(&p, 1, 10000) > 0 ? ::read(terminal, buffer, sizeof buffer) : 0;
        if (n <= 0) {
            break;
        }
        seen.append(buffer, static_cast<size_t>(n));
        for (size_t at = 0; (at = seen.find("Codeplug password: ")) != std::string::npos;) {
            seen.erase(0, at + 1);
            ++prompts;
            const std::string line = password + "\n";
            EXPECT_EQ(::write(terminal, line.data(), line.size()),
                      static_cast<ssize_t>(line.size()));
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(terminal);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, prompts};
}

// The password the radio accepted for the backup read answers the write's request as well.
TEST(CodeplugTransferCommand, WriteAsksForThePasswordOnce) {
    for (const bool backup : {true, false}) {
        SCOPED_TRACE(backup ? "with a backup" : "--no-backup");
        ToolRunner tool;
        const ScratchDataHome home(tool);
        tool.WriteFile("in.bin", GeneratedCodeplug(23, 3));
        Radio radio(tool, {"--codeplug-format", "5.8", "--codeplug-password", "4711",
                           "--codeplug-out", tool.Path("stored.bin")});
        ASSERT_FALSE(radio.path.empty());
        std::vector<std::string> args{"codeplug", "write", "--port", radio.path};
        if (!backup) {
            args.push_back("--no-backup");
        }
        args.push_back(tool.Path("in.bin"));
        EXPECT_EQ(RunAnsweringPrompts(args, "4711"), std::make_pair(0, 1));
        EXPECT_TRUE(AwaitFile(tool, "stored.bin"));
        EXPECT_EQ(home.Backups().size(), backup ? 1u : 0u);
    }
}

// A signal at the codeplug password prompt gives the terminal its echo back.
TEST(CodeplugTransferCommand, AStopSignalAtThePasswordPromptRestoresTheEcho) {
    ToolRunner tool;
    tool.WriteFile("source.bin", GeneratedCodeplug(5, 4));
    Radio radio(tool, {"--codeplug", tool.Path("source.bin"), "--codeplug-password", "1234"});
    ASSERT_FALSE(radio.path.empty());
    const std::string program = QUILLON_BINARY_DIR "/tools/quillon-tool";
    const std::string out = tool.Path("out.bin");
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl(program.c_str(), program.c_str(), "codeplug", "read", "--port", radio.path.c_str(),
                out.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The terminal's settings are shared by both ends of the pseudo-terminal.
    std::string seen;
    bool echoOff = false;
    for (int i = 0; i < 500 && seen.find("Codeplug password: ") == std::string::npos; ++i) {
        pollfd p{terminal, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            char buffer[256];
            const ssize_t n = ::read(terminal, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            seen.append(buffer, static_cast<size_t>(n));
        }
    }
    termios settings{};
    ASSERT_EQ(::tcgetattr(terminal, &settings), 0);
    echoOff = (settings.c_lflag & ECHO) == 0;
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_EQ(::tcgetattr(terminal, &settings), 0);
    ::close(terminal);
    EXPECT_NE(seen.find("Codeplug password: "), std::string::npos) << seen;
    EXPECT_TRUE(echoOff);
    EXPECT_NE(settings.c_lflag & ECHO, 0u);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_FALSE(tool.Exists("out.bin"));
}

}  // namespace
