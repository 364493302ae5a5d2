// The real quillon-updater in command-line mode against the real virtual radio over a
// pseudo-terminal: options and texts byte for byte, and whole updates with their return codes,
// the code the radio received and the codeplug written back.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/core/CommandLine.h"
#include "app/core/ResourceAttributes.h"
#include "app/core/ResourceTable.h"
#include "download/SRecordReader.h"
#include "tests/app/core/CodeplugBytes.h"
#include "tests/app/updater/UpdaterRun.h"
#include "tests/sim/SimProcess.h"

namespace quillon::test {
namespace {

namespace fs = std::filesystem;
using sim::testing::SimProcess;
using sim::testing::TempDir;
using Bytes = std::vector<uint8_t>;

const std::string kUsage = CommandLine::UsageText("quillon-updater");  // pinned byte for byte
const std::string kPrompt = "\n\nPress <ENTER> to close.";

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The data of an embedded image (pieces 1..count of `stem` joined), as the loader receives it.
Bytes ImageData(const std::string& stem, uint32_t count) {
    ResourceTable resources(EmbeddedResourceEntries());
    std::string text;
    for (uint32_t j = 1; j <= count; ++j) {
        std::string_view piece;
        EXPECT_TRUE(resources.Find(stem + "_" + std::to_string(j), piece));
        text.append(piece);
    }
    std::istringstream in(text);
    SRecordReader reader(in, SRecordReader::Mode::kNormal);
    SRecordReader::Record record;
    Bytes data;
    while (reader.Next(record)) {
        data.insert(data.end(), record.data.begin(), record.data.begin() + record.size);
    }
    return data;
}

ResourceAttributes Attributes() {
    ResourceTable resources(EmbeddedResourceEntries());
    std::string_view bytes;
    EXPECT_TRUE(resources.Find("ResourceAttributes_", bytes));
    EXPECT_EQ(bytes.size(), ResourceAttributes::kSize);
    return ResourceAttributes::Decode(reinterpret_cast<const uint8_t*>(bytes.data()));
}

// The stream is the image data followed by 0xFF words up to the end of a pair of blocks.
void ExpectImageStream(const Bytes& received, const Bytes& data) {
    ASSERT_GE(received.size(), data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), received.begin()));
    EXPECT_EQ(received.size() % 256, 0u);
    EXPECT_LT(received.size() - data.size(), 256u);
    EXPECT_TRUE(std::all_of(received.begin() + static_cast<std::ptrdiff_t>(data.size()),
                            received.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST(UpdaterProgram, UsageAndInvalidOptionsByteForByte) {
    const std::string badPort =
        "Invalid command line options (Need valid/available COM Port number).\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
        int code;
    } rows[] = {
        {{"/?"}, kUsage + kPrompt, 0},
        {{"/D"}, "Invalid command line options.\n" + kPrompt, 1},
        {{"/d"}, "Invalid command line options (Need COM Port option).\n" + kPrompt, 1},
        {{"/d", "/sp"}, badPort + kPrompt, 1},
        {{"/d", "/sp", "x7", "/c"}, badPort, 1},
        {{"/d", "/sp", "256", "/c"}, badPort, 1},
        {{"/d", "/sp", "9"}, badPort + kPrompt, 1},
    };
    TempDir dir;
    fs::create_directory(dir.Path() + "/com");
    for (const auto& row : rows) {
        UpdaterRun run;
        run.args = row.args;
        run.folder = dir.Path();
        run.environment = {"QUILLON_COM_DIR=" + dir.Path() + "/com",
                           "XDG_STATE_HOME=" + dir.Path() + "/state"};
        run.timeoutMs = 20000;
        run.Run();
        EXPECT_EQ(run.out, row.out) << row.args.back();
        EXPECT_EQ(run.exitCode, row.code) << row.args.back();
        // A refusal's summary and log line say what was refused; the help says nothing more.
        EXPECT_EQ(run.err.find("return code 1 (general error): the command line was refused") !=
                      std::string::npos,
                  row.code == 1)
            << run.err;
    }
    std::ifstream log(dir.Path() + "/state/quillon/updates.jsonl");
    int lines = 0;
    for (std::string line; std::getline(log, line); ++lines) {
        EXPECT_EQ(nlohmann::json::parse(line)["steps"][0]["step"], "command line");
    }
    EXPECT_EQ(lines, 6);
    // A temporary folder that cannot be used is told on standard error, and the run goes on.
    UpdaterRun badTemp;
    badTemp.args = {"/?"};
    badTemp.folder = dir.Path();
    badTemp.environment = {"TMPDIR=" + dir.Path() + "/missing"};
    badTemp.Run();
    EXPECT_EQ(badTemp.exitCode, 0) << badTemp.err;
    EXPECT_EQ(badTemp.out, kUsage + kPrompt);
    EXPECT_NE(
        badTemp.err.find("The temporary folder (TMPDIR=" + dir.Path() + "/missing) cannot be used"),
        std::string::npos)
        << badTemp.err;
    // Without arguments the window opens and stays until it is closed; nothing is written.
    UpdaterRun bare;
    bare.folder = dir.Path();
    bare.environment = {"QT_QPA_PLATFORM=offscreen", "QUILLON_COM_DIR=" + dir.Path() + "/com"};
    bare.timeoutMs = 1500;
    bare.Run();
    EXPECT_EQ(bare.exitCode, -1) << bare.out;
    EXPECT_EQ(bare.out, "");
}

// One update against the virtual radio on COM 7 with a scenario and a codeplug.
struct UpdateRun {
    // `interrupt`, when given, is applied to the run before it starts.
    UpdateRun(const std::string& scenario, const std::string& codeplugFormat,
              const std::function<void(UpdaterRun&)>& interrupt = nullptr) {
        fs::create_directories(dir.Path() + "/com");
        fs::create_directories(dir.Path() + "/run");
        if (!codeplugFormat.empty()) {
            const uint16_t version = codeplugFormat == "5.8" ? 0x0508 : 0x0509;
            const Bytes held = RadioCodeplug(version);
            std::ofstream(Held(), std::ios::binary)
                .write(reinterpret_cast<const char*>(held.data()),
                       static_cast<std::streamsize>(held.size()));
        }
        std::vector<std::string> args{"--com-dir",  dir.Path() + "/com",
                                      "--com",      "7",
                                      "--scenario", QUILLON_SOURCE_DIR "/sim/scenarios/" + scenario,
                                      "--code-out", dir.Path() + "/code.bin",
                                      "--log",      dir.Path() + "/frames.log"};
        if (!codeplugFormat.empty()) {
            args.insert(args.end(), {"--codeplug", Held()});
        }
        args.insert(args.end(), {"--codeplug-out", dir.Path() + "/written.cpl"});
        radio = std::make_unique<SimProcess>(args);
        EXPECT_FALSE(radio->FirstLine().empty()) << radio->ErrorText();
        run.args = {"/d", "/sp", "7", "/c"};
        run.folder = dir.Path() + "/run";
        run.environment = {"QUILLON_COM_DIR=" + dir.Path() + "/com",
                           "XDG_DATA_HOME=" + dir.Path() + "/data",
                           "XDG_STATE_HOME=" + dir.Path() + "/state",
                           "QUILLON_TRACE=" + dir.Path() + "/trace.log"};
        if (interrupt) {
            interrupt(run);
        }
        run.Run();
    }
    std::string Held() const { return dir.Path() + "/held.cpl"; }
    std::string Log() const {
        std::ifstream in(dir.Path() + "/frames.log");
        std::stringstream text;
        text << in.rdbuf();
        return run.out + "\n--- stderr\n" + run.err + "\n--- frames\n" + text.str();
    }
    std::vector<fs::path> Backups() const {
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& e : fs::directory_iterator(dir.Path() + "/data/quillon/backups", error)) {
            files.push_back(e.path());
        }
        return files;
    }
    bool WorkingFolderEmpty() const { return fs::is_empty(dir.Path() + "/run"); }
    // The update log's lines, each parsed (a line that does not parse fails the test).
    std::vector<nlohmann::json> LogLines() const {
        std::vector<nlohmann::json> lines;
        std::ifstream in(dir.Path() + "/state/quillon/updates.jsonl");
        for (std::string line; std::getline(in, line);) {
            lines.push_back(nlohmann::json::parse(line));
        }
        return lines;
    }
    // The one log line of the run, checked against the run's pid-less facts.
    nlohmann::json OnlyLogLine() const {
        const std::vector<nlohmann::json> lines = LogLines();
        EXPECT_EQ(lines.size(), 1u) << Log();
        if (lines.empty()) {
            return nlohmann::json::object();
        }
        EXPECT_EQ(lines[0]["return_code"], run.exitCode);
        EXPECT_EQ(lines[0]["mode"], "console");
        return lines[0];
    }

    TempDir dir;
    std::unique_ptr<SimProcess> radio;
    UpdaterRun run;
};

class CompleteUpdate : public ::testing::TestWithParam<const char*> {};

TEST_P(CompleteUpdate, WritesTheCodeAndTheConvertedCodeplug) {
    UpdateRun u("update-normal.json", GetParam());
    ASSERT_EQ(u.run.exitCode, 0) << u.Log();
    const std::vector<fs::path> backups = u.Backups();
    ASSERT_EQ(backups.size(), 1u) << u.Log();
    // The backup holds what the radio sent: the codeplug it held, in whole blocks.
    const Bytes backup = ReadFile(backups[0]);
    const Bytes held = ReadFile(u.Held());
    ASSERT_GE(backup.size(), held.size());
    EXPECT_TRUE(std::equal(held.begin(), held.end(), backup.begin()));
    EXPECT_EQ(backup.size() % 128, 0u);
    // The console transcript of a complete run.
    const std::string loader = "\rDownloading Loader code...";
    const std::string code = "\rDownloading Application code...";
    const std::string& out = u.run.out;
    const std::string head =
        "\nExtracting embedded files......Done.\nChecking target radio......Done.\n";
    ASSERT_EQ(out.substr(0, head.size()), head) << u.Log();
    const std::string tail =
        "100% complete...Done.\nResetting radio...Done.\nUploading codeplug...Done.\nCodeplug "
        "saved to " +
        backups[0].string() +
        "\nResetting radio and converting codeplug...Done.\nDownloading codeplug...Done.";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail) << u.Log();
    const std::string middle = out.substr(head.size(), out.size() - head.size() - tail.size());
    EXPECT_EQ(middle.rfind(loader, 0), 0u) << middle;
    EXPECT_NE(middle.find(loader + "100% complete...Done.\n" + code), std::string::npos);

    const ResourceAttributes attributes = Attributes();
    ExpectImageStream(ReadFile(u.dir.Path() + "/code.bin"),
                      ImageData("CODE", attributes.CodeCount));
    const Bytes expected = WriteBack(ReadFile(u.Held()), kFormat511, true);
    const Bytes written = ReadFile(u.dir.Path() + "/written.cpl");
    ASSERT_GE(written.size(), expected.size()) << u.Log();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), written.begin()));
    EXPECT_TRUE(u.WorkingFolderEmpty());
    EXPECT_GT(fs::file_size(u.dir.Path() + "/trace.log"), 0u);
}

INSTANTIATE_TEST_SUITE_P(FromOlderFormats, CompleteUpdate, ::testing::Values("5.9", "5.8"),
                         [](const auto& info) {
                             return std::string("From") + (info.param[2] == '9' ? "59" : "58");
                         });

TEST(UpdaterProgram, OutOfDateBootCodeIsUpgradedAndTheRunEndsWithTwo) {
    UpdateRun u("boot-out-of-date.json", "5.9");
    EXPECT_EQ(u.run.exitCode, 2) << u.Log();
    // The console's last word, on standard error alone.
    EXPECT_NE(u.run.err.find("return code 2 (boot code upgraded"), std::string::npos) << u.Log();
    EXPECT_NE(u.run.err.find("back into bootload mode and run the updater again"),
              std::string::npos);
    const nlohmann::json line = u.OnlyLogLine();
    EXPECT_EQ(line["port"], 7);
    EXPECT_EQ(line["versions_before"]["Boot Load Version"], "6.5");
    EXPECT_NE(line["versions_after"]["Boot Load Version"], "6.5");
    EXPECT_EQ(line["steps"].back()["step"], "boot download");
    EXPECT_TRUE(u.run.out.ends_with("\rDownloading Bootloader code...100% complete...Done.\n"))
        << u.Log();
    ExpectImageStream(ReadFile(u.dir.Path() + "/code.bin"),
                      ImageData("CODE_BOOT", Attributes().BootCodeCount));
    EXPECT_FALSE(fs::exists(u.dir.Path() + "/written.cpl"));
    EXPECT_TRUE(u.WorkingFolderEmpty());
}

TEST(UpdaterProgram, AnUpdateLogThatCannotBeWrittenChangesNothingButAWarning) {
    std::string stateFile;
    UpdateRun u("boot-out-of-date.json", "5.9", [&stateFile](UpdaterRun& run) {
        stateFile = run.folder + "/../state-is-a-file";
        std::ofstream(stateFile) << "x";
        for (std::string& variable : run.environment) {
            if (variable.rfind("XDG_STATE_HOME=", 0) == 0) {
                variable = "XDG_STATE_HOME=" + stateFile;
            }
        }
    });
    EXPECT_EQ(u.run.exitCode, 2) << u.Log();
    EXPECT_NE(u.run.err.find("warning: the update log " + stateFile), std::string::npos) << u.Log();
    EXPECT_NE(u.run.err.find("return code 2"), std::string::npos) << u.Log();
    EXPECT_TRUE(u.run.out.ends_with("\rDownloading Bootloader code...100% complete...Done.\n"))
        << u.Log();
}

TEST(UpdaterProgram, RefusalsEndWithOne) {
    const struct {
        const char* scenario;
        const char* end;
        const char* reason;  // in the summary and the log
    } rows[] = {
        {"other-boot-generation.json",
         "Error: the major boot versions of the radio and file are different.",
         "boot check failed (the major boot versions"},
        {"wrong-kind.json",
         "This Quillon Code Updater is intended for a portable radio, and\ncannot be used with "
         "the connected mobile radio.",
         "boot check failed (a mobile radio"},
        {"silent-radio.json", "Communication error while trying to retrieve boot version.",
         "boot check failed (no answer"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scenario);
        UpdateRun u(row.scenario, "");
        EXPECT_EQ(u.run.exitCode, 1) << u.Log();
        EXPECT_TRUE(u.run.out.ends_with(row.end)) << u.Log();
        EXPECT_NE(u.run.err.find(std::string("return code 1 (general error): ") + row.reason),
                  std::string::npos)
            << u.Log();
        EXPECT_EQ(u.OnlyLogLine()["reason"].get<std::string>().rfind(row.reason, 0), 0u);
        EXPECT_FALSE(fs::exists(u.dir.Path() + "/code.bin"));
        EXPECT_TRUE(u.WorkingFolderEmpty());
    }
}

TEST(UpdaterProgram, ACodeplugFormatNoConversionReachesEndsWithThree) {
    UpdateRun u("codeplug-too-old.json", "5.9");
    EXPECT_EQ(u.run.exitCode, 3) << u.Log();
    EXPECT_TRUE(u.run.out.ends_with("Uploading codeplug...Done.")) << u.Log();
    EXPECT_NE(u.run.err.find("format too old: no conversion reaches codeplug format 5.7 from 5.9"),
              std::string::npos)
        << u.Log();
    EXPECT_FALSE(fs::exists(u.dir.Path() + "/written.cpl"));
    EXPECT_TRUE(u.WorkingFolderEmpty());
}

TEST(UpdaterProgram, AProtectedCodeplugIsLeftAloneOnTheConsole) {
    // The console asks nobody for the codeplug password: the code is in, the codeplug stays.
    UpdateRun u("password-codeplug.json", "");
    EXPECT_EQ(u.run.exitCode, 3) << u.Log();
    EXPECT_TRUE(
        u.run.out.ends_with("Uploading codeplug...An error occurred while uploading the codeplug."))
        << u.Log();
    EXPECT_FALSE(fs::exists(u.dir.Path() + "/written.cpl"));
    EXPECT_TRUE(u.Backups().empty());
    EXPECT_NE(u.run.err.find("return code 3 (codeplug not restored, application code upgraded): "
                             "password required"),
              std::string::npos)
        << u.Log();
    EXPECT_EQ(u.OnlyLogLine()["steps"].back()["step"], "codeplug upload");
}

TEST(UpdaterProgram, APasswordFileRestoresAProtectedCodeplugUnattended) {
    const struct {
        const char* name;
        mode_t mode;
        const char* content;
        int exitCode;
        const char* err;
    } rows[] = {
        {"private", 0600, "4711\nsecond line\n", 0, "return code 0 (success)"},
        {"readable by others", 0644, "4711\n", 1, "(mode 0644); it is not used"},
        {"readable by the group", 0640, "4711\n", 1, "chmod 600"},
        {"a wrong password is offered once", 0600, "1234\n", 3, "password required"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UpdateRun u("password-codeplug.json", "5.9", [&row](UpdaterRun& run) {
            const std::string file = run.folder + "/../password";
            std::ofstream(file) << row.content;
            ASSERT_EQ(::chmod(file.c_str(), row.mode), 0);
            run.environment.push_back("QUILLON_CODEPLUG_PASSWORD_FILE=" + file);
        });
        EXPECT_EQ(u.run.exitCode, row.exitCode) << u.Log();
        EXPECT_NE(u.run.err.find(row.err), std::string::npos) << u.Log();
        EXPECT_EQ(fs::exists(u.dir.Path() + "/written.cpl"), row.exitCode == 0);
        // A refused file starts nothing: no code reaches the radio.
        EXPECT_EQ(fs::exists(u.dir.Path() + "/code.bin"), row.exitCode != 1);
        const nlohmann::json line = u.OnlyLogLine();
        EXPECT_EQ(line["backup"].is_string(), row.exitCode == 0) << line.dump();
    }
}

TEST(UpdaterProgram, AFailedVerificationIsToldAndTheCodeplugWrittenAllTheSame) {
    UpdateRun u("verify-failure.json", "");
    EXPECT_EQ(u.run.exitCode, 0) << u.Log();
    EXPECT_NE(u.run.out.find("converting codeplug...\nThis radio needs to be updated with the "
                             "latest version of TSR.\nDone.\nDownloading codeplug...Done."),
              std::string::npos)
        << u.Log();
    EXPECT_TRUE(fs::exists(u.dir.Path() + "/written.cpl"));
}

// A stop signal ends the run as Stop does: the current wait ends at once, the joined image files
// go, the port is closed, and the code tells how far the run got.
TEST(UpdaterProgram, StopSignalsEndTheRunCleanlyWithItsCode) {
    const struct {
        int signal;
        int second;         // sent right after the first (0: none)
        const char* after;  // sent once the console shows this
        int code;
        const char* end;  // the console's last text; empty: not looked at
    } rows[] = {
        {SIGINT, 0, "\rDownloading Application code...1", 1, "\nCOM error."},
        {SIGTERM, 0, "Resetting radio...", 3, "The codeplug was not written back."},
        {SIGHUP, 0, "Uploading codeplug...", 3, "An error occurred while uploading the codeplug."},
        // A second signal does not wait for the run to unwind.
        {SIGINT, SIGTERM, "\rDownloading Application code...1", 128 + SIGTERM, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.after);
        UpdateRun u("update-normal.json", "5.9", [&row](UpdaterRun& run) {
            run.signal = row.signal;
            run.secondSignal = row.second;
            run.signalAfter = row.after;
        });
        EXPECT_EQ(u.run.exitCode, row.code) << u.Log();
        EXPECT_GE(u.run.msToEnd, 0) << u.Log();
        EXPECT_LT(u.run.msToEnd, 2000) << u.Log();
        EXPECT_FALSE(fs::exists(u.dir.Path() + "/written.cpl"));
        if (row.second != 0) {
            continue;  // ended where it stood
        }
        EXPECT_TRUE(u.run.out.ends_with(row.end)) << u.Log();
        EXPECT_TRUE(u.WorkingFolderEmpty());
        if (row.signal == SIGINT) {
            // The port was freed and nothing was left behind: the next run completes.
            UpdaterRun again = u.run;
            again.signal = 0;
            again.out.clear();
            again.err.clear();
            again.Run();
            EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
            EXPECT_TRUE(u.WorkingFolderEmpty());
        }
    }
}

}  // namespace
}  // namespace quillon::test
