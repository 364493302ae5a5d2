#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/sim/SimProcess.h"
#include "tests/support/ChildProcess.h"

namespace {

using quillon::sim::testing::SimProcess;
using quillon::sim::testing::TempDir;

using quillon::test::ProgramRun;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs quillon-tool with `args` (and `comDir` as $QUILLON_COM_DIR when not empty); gives up after
// 30 s.
ProgramRun RunTool(const std::vector<std::string>& args, const std::string& comDir = "") {
    const std::string comEntry = comDir.empty() ? "QUILLON_COM_DIR" : "QUILLON_COM_DIR=" + comDir;
    quillon::test::ProgramCall call =
        quillon::test::Program(QUILLON_BINARY_DIR "/tools/quillon-tool", args);
    call.environment = {comEntry};
    call.timeoutMs = 30000;
    ProgramRun run = quillon::test::RunProgram(call);
    if (run.timedOut) {
        ADD_FAILURE() << "quillon-tool did not end";
    } else if (run.exitCode < 0) {
        ADD_FAILURE() << run.err;
    }
    return run;
}

// A radio with a distinct value in every field.
std::vector<std::string> Radio(const std::string& controllerVersion = "4.2.17") {
    return {"--codeplug-format",
            "5.10",
            "--dsp-version",
            "10.0.255",
            "--controller-version",
            controllerVersion,
            "--hardware-revision",
            "1.2.3",
            "--serial",
            "01AB00FF107EBA09",
            "--boot-version",
            "6.7",
            "--sem-version",
            "2.3"};
}

std::vector<std::string> With(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

TEST(InfoCommand, PrintsTheVersionPanelOfARadioOnADevicePath) {
    TempDir dir;
    SimProcess sim(With(Radio(), {"--log", dir.Path() + "/frames.log"}));
    const std::string device = sim.FirstLine();
    ASSERT_FALSE(device.empty()) << sim.ErrorText();

    const ProgramRun run = RunTool({"info", "--port", device});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "File Format Version:  5.10\n"
              "DSP Software Version: 10.0.255\n"
              "Controller Version:   4.2.17\n"
              "Hardware Revision:    Not Applicable\n"
              "Radio Serial Number:  01-AB-00-FF-10-7E-BA-09\n"
              "Boot Load Version:    6.7\n"
              "SEM Version:          2.3\n");
    EXPECT_EQ(run.err, "");

    // Every query once, at the speed the line opened with: no speed change.
    const std::string log = ReadFile(dir.Path() + "/frames.log");
    for (const char* request : {"RX 04 1C\n", "RX 04 0B\n", "RX 04 09\n", "RX 04 07\n",
                                "RX 04 04\n", "RX 04 2D\n", "RX 04 3E\n"}) {
        EXPECT_NE(log.find(request), std::string::npos) << request << log;
    }
    EXPECT_EQ(log.find("SPEED"), std::string::npos) << log;
    EXPECT_EQ(log.find("RX-PROBE"), std::string::npos) << log;
}

TEST(InfoCommand, OpensACOMNumberAndShowsTheHardwareRevisionOfMobiles) {
    TempDir dir;
    const std::string comDir = dir.Path() + "/coms";
    ASSERT_EQ(mkdir(comDir.c_str(), 0755), 0);
    SimProcess sim(With(Radio("3.0.1"), {"--com-dir", comDir, "--com", "9", "--kind", "mobile"}));
    ASSERT_FALSE(sim.FirstLine().empty()) << sim.ErrorText();

    const ProgramRun run = RunTool({"info", "--port", "9", "--radio-type", "5"}, comDir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Hardware Revision:    1.2.3\n"), std::string::npos) << run.out;
    // A controller of generation 3 is not asked for its SEM version.
    EXPECT_NE(run.out.find("SEM Version:          Not Applicable\n"), std::string::npos) << run.out;
}

TEST(InfoCommand, SilentRadioIsACommunicationError) {
    TempDir dir;
    SimProcess sim({"--fault", "*:silent"});
    const std::string device = sim.FirstLine();
    ASSERT_FALSE(device.empty()) << sim.ErrorText();

    const ProgramRun run = RunTool({"info", "--port", device});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    // The updater's words, then what to check: cable, power and mode, the port used.
    EXPECT_EQ(run.err.rfind("Communication error while retrieving version information.\n"
                            "No answer from the radio on " +
                                device + ". Check that:\n",
                            0),
              0u)
        << run.err;
    for (const char* hint : {"cable is plugged in", "switched on", "bootload mode", "ports"}) {
        EXPECT_NE(run.err.find(hint), std::string::npos) << hint;
    }
    EXPECT_GT(run.seconds, 3.9) << "the first query waits out its 4 s";
    EXPECT_LT(run.seconds, 8.0) << "and the rest are not asked";
}

TEST(InfoCommand, NoisyAndFaultyLinesStillGiveTheRecord) {
    TempDir dir;
    SimProcess sim(
        With(Radio(), {"--fault", "04:noise=7,bad-checksum,wrong-h2", "--fault", "0407:0420"}));
    const std::string device = sim.FirstLine();
    ASSERT_FALSE(device.empty()) << sim.ErrorText();

    const ProgramRun run = RunTool({"info", "--port", device, "--radio-type", "7"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("DSP Software Version: 10.0.255\n"), std::string::npos) << run.out;
    // The hardware revision was answered "not available": shown as zeros.
    EXPECT_NE(run.out.find("Hardware Revision:    0.0.0\n"), std::string::npos) << run.out;
}

// Every way of naming a port, and every reason one does not open: the error names the COM
// number and its device, says why, and lists the ports present.
TEST(InfoCommand, PortsByNumberNameOrPathAndWhyTheyDoNotOpen) {
    TempDir dir;
    const std::string comDir = dir.Path() + "/coms";
    ASSERT_EQ(mkdir(comDir.c_str(), 0755), 0);
    SimProcess sim(With(Radio(), {"--com-dir", comDir, "--com", "7"}));
    const std::string device = sim.FirstLine();
    ASSERT_FALSE(device.empty()) << sim.ErrorText();
    ASSERT_EQ(symlink((dir.Path() + "/gone").c_str(), (comDir + "/com8").c_str()), 0);
    const std::string kOpenError = "Unable to start communication: COM port error\n";
    const std::string listed = "COM7 (" + device + ")";

    struct Case {
        std::string port;
        int exitCode;
        std::vector<std::string> err;  // each must appear, in order
    };
    const Case cases[] = {
        {"COM7", 0, {}},
        {"cOm7", 0, {}},
        {comDir + "/com7", 0, {}},
        {"8", 1, {kOpenError, "COM8 (" + comDir + "/com8): does not exist\n", listed}},
        {"COM200", 1, {kOpenError, "COM200: no device has that number", listed}},
        {dir.Path(), 1, {kOpenError, dir.Path() + ": not a serial device (a folder)\n", listed}},
        {dir.Path() + "/nothing", 1, {kOpenError, dir.Path() + "/nothing: does not exist\n"}},
        {"0", 2, {"--port: \"0\" is not a port"}},
        {"COM", 2, {"--port: \"COM\" is not a port"}},
        {"COM256", 2, {"--port: \"COM256\" is not a port"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        const ProgramRun run = RunTool({"info", "--port", c.port}, comDir);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        size_t at = 0;
        for (const std::string& piece : c.err) {
            const size_t found = run.err.find(piece, at);
            ASSERT_NE(found, std::string::npos) << "missing: " << piece << "\n" << run.err;
            at = found + piece.size();
        }
        if (c.exitCode == 0) {
            EXPECT_NE(run.out.find("Controller Version:   4.2.17\n"), std::string::npos);
        }
    }
}

}  // namespace

namespace {

// The protocol trace of a real exchange over a pseudo-terminal, asked for by option or by the
// environment: the open with the device path, each request and reply with its name, the close.
TEST(InfoCommand, TracesTheExchangeByOptionOrEnvironment) {
    TempDir dir;
    SimProcess sim(Radio());
    const std::string device = sim.FirstLine();
    ASSERT_FALSE(device.empty()) << sim.ErrorText();

    const std::string byOption = dir.Path() + "/option.trace";
    const std::string byEnvironment = dir.Path() + "/environment.trace";
    const std::string byAfter = dir.Path() + "/after.trace";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string trace;
    };
    const Case cases[] = {
        {"--trace", {"--trace", byOption, "info", "--port", device}, byOption},
        {"QUILLON_TRACE", {"info", "--port", device}, byEnvironment},
        {"--trace after the command", {"info", "--port", device, "--trace", byAfter}, byAfter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.trace == byEnvironment) {
            ::setenv("QUILLON_TRACE", byEnvironment.c_str(), 1);
        }
        const ProgramRun run = RunTool(c.args);
        ::unsetenv("QUILLON_TRACE");
        EXPECT_EQ(run.exitCode, 0) << run.err;

        const std::string trace = ReadFile(c.trace);
        size_t at = 0;
        for (const std::string& piece :
             {" OPEN " + device + " device mode 19200 bit/s\n", std::string(" TX BA 7F 01 04 1C "),
              std::string("[04 1C FileFormatRequest]\n"),
              // Received frames as they came (the virtual radio's header is 01 7F).
              std::string(" RX BA 01 7F 04 1D "), std::string("[04 1D FileFormatReply]\n"),
              std::string("[04 04 SerialNumberRequest]\n"),
              // The serial number starts the codeplug scrambling: its bytes stay out, stuffed
              // ones (10 7E BA) too.
              std::string(" RX BA 01 7F 04 05 ** ** ** ** ** ** ** ** ** 7E "
                          "[04 05 SerialNumberReply]\n"),
              " CLOSE " + device + "\n"}) {
            const size_t found = trace.find(piece, at);
            ASSERT_NE(found, std::string::npos) << "missing, in order: " << piece << "\n" << trace;
            at = found + piece.size();
        }
    }

    // A trace file that cannot be written is an error before anything is sent.
    const ProgramRun bad =
        RunTool({"--trace", dir.Path() + "/no/such/dir/t", "info", "--port", device});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("Cannot open the trace file"), std::string::npos) << bad.err;
}

}  // namespace

namespace {

// --json: every line of the text is a field, parsed as JSON.
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
    const ProgramRun text = RunTool({"info", "--port", device});
    const ProgramRun json = RunTool({"info", "--json", "--port", device});
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
