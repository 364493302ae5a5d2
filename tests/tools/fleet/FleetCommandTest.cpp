#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/sim/SimProcess.h"
#include "tests/support/ChildProcess.h"

namespace {

using quillon::sim::testing::SimProcess;
using quillon::sim::testing::TempDir;
using quillon::test::ProgramCall;
using quillon::test::ProgramRun;
using Json = nlohmann::json;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A folder of COM ports, backups and update log of its own for each test.
class Fleet : public ::testing::Test {
protected:
    Fleet() : comDir(dir.Path() + "/com") { std::filesystem::create_directory(comDir); }

    ProgramCall Call(const std::vector<std::string>& args) const {
        ProgramCall call = quillon::test::Program(QUILLON_BINARY_DIR "/tools/quillon-tool", args);
        call.folder = dir.Path();
        call.environment = {"QUILLON_COM_DIR=" + comDir, "XDG_DATA_HOME=" + dir.Path() + "/data",
                            "XDG_STATE_HOME=" + dir.Path() + "/state", "TMPDIR=" + dir.Path(),
                            "QUILLON_UPDATER"};
        call.timeoutMs = 90000;
        return call;
    }

    // A stand-in updater: records its arguments, working folder and password variable, appends
    // a log line of its pid as the updater does, and returns the code given for its port.
    std::string FakeUpdater(const std::string& codes) const {
        const std::string path = dir.Path() + "/fake-updater";
        std::ofstream(path)
            << "#!/bin/sh\n"
               "mkdir -p \"$XDG_STATE_HOME/quillon\"\n"
               "touch \"$XDG_STATE_HOME/running-$3\"\n"
               // How many run at once: counted until a second one is seen (2 s at most).
               "most=0; n=0\n"
               "while [ $n -lt 20 ]; do\n"
               "  c=$(ls \"$XDG_STATE_HOME\" | grep -c running)\n"
               "  [ $c -gt $most ] && most=$c\n"
               "  [ $c -ge 2 ] && break\n"
               "  sleep 0.1; n=$((n + 1))\n"
               "done\n"
               "sleep 0.2\n"
               "echo \"$* $PWD $QUILLON_CODEPLUG_PASSWORD_FILE $most\" > "
               "\"$XDG_STATE_HOME/args-$3\"\n"
               "rm \"$XDG_STATE_HOME/running-$3\"\n"
               "printf '\\nDownloading Application code...50%% complete'\n"
               "code=$(echo '"
            << codes
            << "' | tr ',' '\\n' | sed -n \"s/^$3=//p\")\n"
               "echo \"{\\\"pid\\\":$$,\\\"port\\\":$3,\\\"versions_after\\\":{\\\"Controller "
               "Version\\\":\\\"9.$3\\\"},\\\"backup\\\":\\\"/b/$3.bin\\\",\\\"reason\\\":null,"
               "\\\"steps\\\":[{\\\"step\\\":\\\"code\\\",\\\"result\\\":\\\"done\\\","
               "\\\"detail\\\":null}],\\\"return_code\\\":$code}\" "
               ">> \"$XDG_STATE_HOME/quillon/updates.jsonl\"\n"
               "exit $code\n";
        chmod(path.c_str(), 0755);
        return path;
    }

    Json Report() const { return Json::parse(ReadFile(dir.Path() + "/report.json")); }

    TempDir dir;
    std::string comDir;
};

// Without radios on the ports, each named port is still updated; the updater's log line (found
// by its pid) gives versions after, backup and steps.
TEST_F(Fleet, RunsTheUpdaterPerPortInPrivateFoldersAndReadsItsLogLine) {
    const std::string password = dir.Path() + "/password";
    std::ofstream(password) << "1234\n";
    chmod(password.c_str(), 0600);
    ProgramCall call = Call({"fleet", "--ports", "3,4,5", "--jobs", "2", "--report", "report.json",
                             "--password-file", "password"});
    FakeUpdater("3=0,4=2,5=0");
    // Named relative to the fleet's folder, not to the updaters' own.
    call.environment.back() = "QUILLON_UPDATER=fake-updater";
    const ProgramRun run = quillon::test::RunProgram(call);
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;

    std::set<std::string> folders;
    int mostRunning = 0;
    for (const char* port : {"3", "4", "5"}) {
        std::istringstream args(ReadFile(dir.Path() + "/state/args-" + port));
        std::string d, sp, number, c, folder, passwordVariable;
        int running = 0;
        args >> d >> sp >> number >> c >> folder >> passwordVariable >> running;
        mostRunning = std::max(mostRunning, running);
        EXPECT_EQ(d + sp + number + c, std::string("/d/sp") + port + "/c");
        EXPECT_EQ(passwordVariable, password) << "absolute, as the folder is another";
        EXPECT_FALSE(std::filesystem::exists(folder)) << "the working folder is removed";
        folders.insert(folder);
    }
    EXPECT_EQ(folders.size(), 3u) << "each update has a folder of its own";
    EXPECT_EQ(mostRunning, 2) << "--jobs 2";

    const Json report = Report();
    ASSERT_EQ(report["radios"].size(), 3u);
    EXPECT_EQ(report["exit_code"], 2);
    const Json& second = report["radios"][1];
    EXPECT_EQ(second["port"], 4);
    EXPECT_EQ(second["return_code"], 2);
    EXPECT_EQ(second["meaning"], "Bootloader code needed upgraded");
    EXPECT_EQ(second["versions_after"]["controller_version"], "9.4") << "under the query's names";
    EXPECT_EQ(second["backup"], "/b/4.bin");
    EXPECT_EQ(second["steps"][0]["step"], "code");
    EXPECT_TRUE(second["versions_before"].is_null()) << "no radio answered the query";
    EXPECT_EQ(second["serial"], nullptr);
    EXPECT_EQ(std::string(second["started"]).size(), 20u);  // 2026-12-09T03:10:00Z
    EXPECT_EQ(std::string(second["started"]).back(), 'Z');
    // Not a terminal: one line per step and radio.
    EXPECT_NE(run.out.find("COM4   -                        Downloading Application code\n"),
              std::string::npos)
        << run.out;
}

TEST_F(Fleet, AllTakesThePortsWhoseRadioAnswersAndSkipsTheOthers) {
    SimProcess answering({"--com-dir", comDir, "--com", "6", "--serial", "0102030405060708"});
    SimProcess silent({"--com-dir", comDir, "--com", "9", "--fault", "*:silent"});
    ASSERT_FALSE(answering.FirstLine().empty()) << answering.ErrorText();
    ASSERT_FALSE(silent.FirstLine().empty()) << silent.ErrorText();
    ProgramCall call = Call({"fleet", "--ports", "all", "--report", "report.json"});
    call.environment.back() = "QUILLON_UPDATER=" + FakeUpdater("6=0");
    const ProgramRun run = quillon::test::RunProgram(call);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    // The machine's own serial ports may be listed too: the two of the test are looked up.
    std::map<int, Json> radios;
    const Json report = Report();
    for (const Json& radio : report["radios"]) {
        radios[radio["port"].get<int>()] = radio;
    }
    ASSERT_EQ(radios.count(6) + radios.count(9), 2u) << run.out;
    EXPECT_EQ(radios[6]["status"], "updated");
    EXPECT_EQ(radios[6]["serial"], "01-02-03-04-05-06-07-08");
    EXPECT_EQ(radios[6]["versions_before"]["boot_load_version"], "6.7");
    EXPECT_EQ(radios[9]["status"], "skipped");
    EXPECT_EQ(radios[9]["note"], "Communication error while retrieving version information.");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/state/args-9"));
    EXPECT_NE(run.out.find("COM9   skipped: Communication error"), std::string::npos) << run.out;
}

TEST_F(Fleet, BadArgumentsAreUsageErrors) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--ports", "0"},
          {"--ports", "7,7"},
          {"--ports", "7,,8"},
          {"--ports", "COM7"},
          {"--ports", "7", "--jobs", "0"},
          {"--ports", "7", "--password-file", "missing"},
          {"--ports", "7", "--report", "no/such/folder/report.json"}}) {
        std::vector<std::string> full{"fleet"};
        full.insert(full.end(), args.begin(), args.end());
        const ProgramRun run = quillon::test::RunProgram(Call(full));
        EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args) << run.err;
        EXPECT_FALSE(run.err.empty());
    }
}

// The real updater against three radios: one silent, one with an old boot code, one whose new
// firmware expects codeplug 5.7. Each says so in the table and the report (the reasons as the
// update log gives them); the worst code wins. The updaters, run side by side, leave one whole
// log line each.
TEST_F(Fleet, MixedRadiosAreReportedEachAndTheWorstCodeWins) {
    const std::string scenarios = QUILLON_SOURCE_DIR "/sim/scenarios/";
    SimProcess silent(
        {"--com-dir", comDir, "--com", "1", "--scenario", scenarios + "silent-radio.json"});
    SimProcess oldBoot({"--com-dir", comDir, "--com", "2", "--scenario",
                        scenarios + "boot-out-of-date.json", "--serial", "0000000000000002"});
    SimProcess tooOld({"--com-dir", comDir, "--com", "3", "--scenario",
                       scenarios + "codeplug-too-old.json", "--codeplug",
                       scenarios + "codeplug-5.9.cpl", "--serial", "0000000000000003"});
    for (SimProcess* sim : {&silent, &oldBoot, &tooOld}) {
        ASSERT_FALSE(sim->FirstLine().empty()) << sim->ErrorText();
    }
    const ProgramRun run =
        quillon::test::RunProgram(Call({"fleet", "--ports", "1,2,3", "--report", "report.json"}));
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    const std::string tooOldReason =
        "format too old: no conversion reaches codeplug format 5.7 from 5.9";
    for (const std::string& row :
         {std::string("COM1   unknown                  6700 series 6"),
          std::string("1 General error\n"),
          std::string("reason: boot check failed (no answer to the boot version query)\n"),
          std::string("COM2   00-00-00-00-00-00-00-02  6700 series 6"),
          std::string("2 Bootloader code needed upgraded\n"),
          std::string("COM3   00-00-00-00-00-00-00-03  6700 series 6"),
          std::string("3 Codeplug conversion error (Application code successfully upgraded)\n"),
          "reason: " + tooOldReason + "\n",
          // Asked again after the update: every version, not only those the log holds.
          std::string("       file_format_version     5.9 -> 5.7\n"),
          std::string("       dsp_software_version    3.2.1 -> 3.2.1\n")}) {
        EXPECT_NE(run.out.find(row), std::string::npos) << row << "\n" << run.out;
    }
    const Json report = Report();
    EXPECT_EQ(report["exit_code"], 1);
    ASSERT_EQ(report["radios"].size(), 3u);
    const Json& radios = report["radios"];
    EXPECT_EQ(radios[0]["return_code"], 1);
    EXPECT_EQ(radios[0]["reason"], "boot check failed (no answer to the boot version query)");
    EXPECT_TRUE(radios[0]["versions_after"].is_null());
    EXPECT_EQ(radios[1]["return_code"], 2);
    EXPECT_EQ(radios[1]["versions_before"]["boot_load_version"], "6.5");
    EXPECT_EQ(radios[2]["return_code"], 3);
    EXPECT_EQ(radios[2]["serial"], "00-00-00-00-00-00-00-03");
    EXPECT_EQ(radios[2]["reason"], tooOldReason);
    EXPECT_EQ(radios[2]["versions_after"]["file_format_version"], "5.7");
    EXPECT_EQ(radios[2]["versions_after"].size(), radios[2]["versions_before"].size());
    EXPECT_EQ(radios[2]["meaning"],
              "Codeplug conversion error (Application code successfully upgraded)");
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().filename().string().rfind("quillon-fleet", 0), std::string::npos)
            << "left behind: " << entry.path();
    }

    std::istringstream log(ReadFile(dir.Path() + "/state/quillon/updates.jsonl"));
    std::map<int, Json> lines;  // by port
    std::set<int> pids;
    int count = 0;
    for (std::string text; std::getline(log, text); ++count) {
        const Json line = Json::parse(text, nullptr, false);
        ASSERT_TRUE(line.is_object()) << text;
        lines[line["port"].get<int>()] = line;
        pids.insert(line["pid"].get<int>());
    }
    EXPECT_EQ(count, 3);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(pids.size(), 3u);
    for (int port = 1; port <= 3; ++port) {
        EXPECT_EQ(lines[port]["return_code"], radios[port - 1]["return_code"]) << port;
    }
    EXPECT_EQ(lines[3]["serial"], "00-00-00-00-00-00-00-03") << "as the version panel shows it";
}

// Ctrl-C reaches the fleet alone; it stops the updaters as Stop does and waits for them.
TEST_F(Fleet, AStopSignalStopsEveryUpdateAndWaits) {
    SimProcess first({"--com-dir", comDir, "--com", "4", "--scenario",
                      QUILLON_SOURCE_DIR "/sim/scenarios/update-normal.json"});
    SimProcess second({"--com-dir", comDir, "--com", "5", "--serial", "0000000000000005"});
    ASSERT_FALSE(first.FirstLine().empty()) << first.ErrorText();
    ASSERT_FALSE(second.FirstLine().empty()) << second.ErrorText();
    ProgramCall call = Call({"fleet", "--ports", "4,5", "--report", "report.json"});
    call.signal = SIGINT;
    call.signalAfter = "Downloading Application code";
    const ProgramRun run = quillon::test::RunProgram(call);
    EXPECT_EQ(run.exitCode, 130) << run.out << run.err;
    EXPECT_LT(run.msToEnd, 15000);
    const Json report = Report();
    for (const Json& radio : report["radios"]) {
        EXPECT_EQ(radio["status"], "updated");
        EXPECT_EQ(radio["return_code"], 1) << "stopped by the signal, not killed";
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().filename().string().rfind("quillon-fleet", 0), std::string::npos)
            << "left behind: " << entry.path();
    }
}

}  // namespace
