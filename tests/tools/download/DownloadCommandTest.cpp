#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/sim/SimProcess.h"
#include "tests/support/ChildProcess.h"

namespace {

using quillon::sim::testing::SimProcess;
using quillon::sim::testing::TempDir;
using Bytes = std::vector<uint8_t>;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    uint32_t state = 12345;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 16);
    }
    return bytes;
}

// objcopy's S-record file of `bytes`; false when objcopy is missing or failed.
bool MakeImage(const TempDir& dir, const std::string& name, const Bytes& bytes,
               const std::string& options) {
    const std::string bin = dir.Path() + "/" + name + ".bin";
    std::ofstream(bin, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const std::string command = "objcopy -I binary -O srec --srec-len=16 " + options + " " + bin +
                                " " + dir.Path() + "/" + name + ".srec 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

struct Outcome {
    int exitCode;
    std::string out, err;
};

Outcome RunTool(const TempDir& dir, const std::string& args) {
    const std::string command = std::string(QUILLON_BINARY_DIR "/tools/quillon-tool download ") +
                                args + " >" + dir.Path() + "/out 2>" + dir.Path() + "/err";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir.Path() + "/out"),
            ReadFile(dir.Path() + "/err")};
}

TEST(DownloadCommand, SendsLoaderAndCodeToTheVirtualRadio) {
    if (std::system("command -v objcopy >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "objcopy (binutils) is not installed";
    }
    TempDir dir;
    const Bytes code = Pattern(3001);
    ASSERT_TRUE(MakeImage(dir, "loader", Pattern(700), "--change-addresses=0x10000"));
    ASSERT_TRUE(MakeImage(dir, "code", code, "--srec-forceS3"));
    struct Case {
        const char* name;
        std::vector<std::string> radioArgs;
        std::string toolArgs;
        int exitCode;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"high speed", {}, "", 0, ""},
        {"low speed", {}, " --low-speed", 0, ""},
        {"verify failure",
         {"--verify-fail-at", "300"},
         "",
         1,
         "Flash Verify failed at address: 0x0000012C\n"},
        {"wrong processor",
         {"--processor", "8"},
         " --radio-type 1",
         1,
         "The radio's processor does not match this updater.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string stored = dir.Path() + "/stored.bin";
        std::remove(stored.c_str());
        std::vector<std::string> args{"--code-out", stored, "--exit-after", "30"};
        args.insert(args.end(), c.radioArgs.begin(), c.radioArgs.end());
        SimProcess radio(args);
        const std::string path = radio.FirstLine();
        ASSERT_FALSE(path.empty()) << radio.ErrorText();
        const Outcome outcome =
            RunTool(dir, "--port " + path + " --loader " + dir.Path() + "/loader.srec --code " +
                             dir.Path() + "/code.srec" + c.toolArgs);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        EXPECT_EQ(outcome.err, c.error);
        if (c.exitCode == 0) {
            // Not a terminal: one line per step, after the step's text, counting the image's
            // own bytes.
            const std::string& out = outcome.out;
            const size_t loaderLine = out.find("Downloading Loader code...\nloader: 700 bytes in ");
            const size_t codeLine =
                out.find("Downloading Application code...\ncode: 3001 bytes in ");
            EXPECT_NE(loaderLine, std::string::npos) << out;
            EXPECT_NE(codeLine, std::string::npos) << out;
            EXPECT_LT(loaderLine, codeLine);
            EXPECT_EQ(out.find("step "), std::string::npos) << out;
            EXPECT_NE(out.find("Download finished.\n"), std::string::npos);
            Bytes expected = code;
            expected.resize(3072, 0xFF);
            EXPECT_EQ(ReadFile(stored), std::string(expected.begin(), expected.end()));
        }
        radio.Stop(SIGTERM);
    }
}

TEST(DownloadCommand, SendsADspProgramPageByPage) {
    TempDir dir;
    // A COFF file with one section of 100 words at word 8 of page 2.
    const Bytes data = Pattern(200);
    Bytes coff(22 + 40, 0);
    coff[2] = 1;
    coff[22 + 12] = 8;
    coff[22 + 16] = 100;
    coff[22 + 20] = static_cast<uint8_t>(coff.size());
    coff[22 + 39] = 2;
    coff.insert(coff.end(), data.begin(), data.end());
    std::ofstream(dir.Path() + "/dsp.out", std::ios::binary)
        .write(reinterpret_cast<const char*>(coff.data()),
               static_cast<std::streamsize>(coff.size()));
    std::ofstream(dir.Path() + "/loader.srec")
        << "S00600004844521B\nS3150000000000112233445566778899"
           "AABBCCDDEEFFF2\nS9030000FC\n";
    const std::string stored = dir.Path() + "/pages.bin";
    SimProcess radio({"--dsp-out", stored, "--exit-after", "30"});
    const std::string path = radio.FirstLine();
    ASSERT_FALSE(path.empty()) << radio.ErrorText();
    const Outcome outcome = RunTool(dir, "--port " + path + " --loader " + dir.Path() +
                                             "/loader.srec --dsp " + dir.Path() + "/dsp.out");
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("Downloading page 1 of 1 from input DSP file ...\n"),
              std::string::npos)
        << outcome.out;
    Bytes expected(16, 0);
    expected.insert(expected.end(), data.begin(), data.end());
    expected.resize(256, 0xFF);
    // The radio writes the pages when it takes the last end-of-image message, which may come
    // after the tool has ended.
    for (int i = 0; i < 100 && ReadFile(stored).size() < expected.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(ReadFile(stored), std::string(expected.begin(), expected.end()));
    // The page files are gone from the program's folder.
    EXPECT_FALSE(std::ifstream(QUILLON_BINARY_DIR "/tools/Page2").good());
    radio.Stop(SIGTERM);
}

// A file that is not a whole image is refused before the port is opened: exit 2 with the file,
// line and reason, and the radio receives nothing.
TEST(DownloadCommand, RefusesFilesThatAreNotWholeImagesAndSendsNothing) {
    TempDir dir;
    const std::string data = "S1130000285F245F2212226A000424290008237C2A\n";
    const std::string loader =
        "S00600004844521B\nS3150000000000112233445566778899"
        "AABBCCDDEEFFF2\nS9030000FC\n";
    const struct {
        const char* name;
        const char* file;
        std::string text;
        std::string args;   // with {} for the file's path
        std::string error;  // after "download: " and the path
    } cases[] = {
        {"notes as code", "notes.txt", "Meeting at nine.\nBring radios.\n", "--code {}",
         ":1: not an S-record"},
        {"code cut before its end record", "cut.srec", data + data, "--code {}",
         ":2: no end record (S7, S8 or S9) closes the file"},
        {"code cut inside a record", "cut.srec", data + data.substr(0, 18), "--code {}",
         ":2: byte count 19 does not match the 7 bytes that follow it"},
        {"DSP loader ending in S7", "loader.srec",
         loader.substr(0, loader.find("S9")) + "S70500000000FA\n", "--loader {} --dsp {dsp}",
         ":3: end record S7 where this loader must end with S9"},
    };
    std::ofstream(dir.Path() + "/dsp.out", std::ios::binary) << std::string(22, '\0');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Path() + "/" + c.file;
        std::ofstream(path, std::ios::binary) << c.text;
        std::string args = c.args;
        args.replace(args.find("{}"), 2, path);
        if (const size_t at = args.find("{dsp}"); at != std::string::npos) {
            args.replace(at, 5, dir.Path() + "/dsp.out");
        }
        const std::string log = dir.Path() + "/frames.log";
        SimProcess radio({"--log", log, "--exit-after", "30"});
        const std::string port = radio.FirstLine();
        ASSERT_FALSE(port.empty()) << radio.ErrorText();
        const Outcome outcome = RunTool(dir, "--port " + port + " " + args);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(outcome.err, "download: " + path + c.error + "\n");
        EXPECT_EQ(outcome.out, "");
        radio.Stop(SIGTERM);
        EXPECT_EQ(ReadFile(log).find("RX"), std::string::npos) << ReadFile(log);
    }
}

}  // namespace

// Ctrl-C while the radio stays silent in the middle of the code ends the download at once, as
// Stop does: exit 130, well before the 15 s reply time-out.
TEST(DownloadCommand, AStopSignalEndsTheDownloadAtOnce) {
    TempDir dir;
    if (!MakeImage(dir, "code", Pattern(4096), "--srec-forceS3")) {
        GTEST_SKIP() << "objcopy is not available";
    }
    SimProcess radio({"--silent-from-block", "4", "--exit-after", "30"});
    const std::string path = radio.FirstLine();
    ASSERT_FALSE(path.empty()) << radio.ErrorText();
    quillon::test::ProgramCall call =
        quillon::test::Program(QUILLON_BINARY_DIR "/tools/quillon-tool",
                               {"download", "--port", path, "--code", dir.Path() + "/code.srec"});
    call.signal = SIGINT;
    call.signalAfterMs = 1500;
    call.timeoutMs = 20000;
    const quillon::test::ProgramRun run = quillon::test::RunProgram(call);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_FALSE(run.killed);
    EXPECT_LT(run.msToEnd, 2000);
    radio.Stop(SIGTERM);
}
