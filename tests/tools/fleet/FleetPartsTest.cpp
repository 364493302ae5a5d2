#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/sim/SimProcess.h"
#include "tools/quillon-tool/FleetReport.h"
#include "tools/quillon-tool/UpdateLogReader.h"
#include "tools/quillon-tool/UpdaterConsoleParser.h"

namespace {

using quillon::sim::testing::TempDir;
using quillon::tool::FleetRadio;
using quillon::tool::FleetReport;
using quillon::tool::UpdateLogReader;
using quillon::tool::UpdaterConsoleParser;
using Json = nlohmann::ordered_json;

// The updater's console output, cut into pieces anywhere, gives the same steps.
TEST(UpdaterConsoleParser, FollowsStepsPercentsBackupAndErrorText) {
    const std::string output =
        "\nExtracting embedded files......Done.\nChecking target radio......Done.\n"
        "\rDownloading Loader code...2% complete\rDownloading Loader code...57% complete"
        "\rDownloading Loader code...100% complete...Done.\n"
        "Uploading codeplug...Done.\nCodeplug saved to /b/codeplug-1.bin\n"
        "\nA message of\ntwo lines\n"
        "\nExtracting embedded files......Communication error while trying to retrieve boot "
        "version.";
    for (const std::size_t piece : {output.size(), std::size_t{1}, std::size_t{7}}) {
        SCOPED_TRACE(piece);
        UpdaterConsoleParser parser;
        std::vector<std::string> seen;  // step and percent after each change
        for (std::size_t at = 0; at < output.size(); at += piece) {
            if (parser.Feed(output.substr(at, piece))) {
                seen.push_back(parser.Step() + " " + std::to_string(parser.Percent()) +
                               (parser.StepDone() ? " done" : ""));
            }
        }
        EXPECT_EQ(parser.LastMessage(), "A message of\ntwo lines") << "the last is not whole yet";
        parser.Finish();
        EXPECT_EQ(parser.StepsBegun(), 5);
        EXPECT_EQ(parser.Backup(), "/b/codeplug-1.bin");
        EXPECT_EQ(parser.LastMessage(),
                  "Communication error while trying to retrieve boot version.");
        EXPECT_EQ(parser.Step(), "Extracting embedded files");
        EXPECT_FALSE(parser.StepDone());
        for (const char* expected :
             piece == output.size()
                 ? std::vector<const char*>{}
                 : std::vector<const char*>{
                       "Checking target radio 100 done", "Downloading Loader code 57",
                       "Downloading Loader code 100 done", "Uploading codeplug 100 done"}) {
            EXPECT_NE(std::find(seen.begin(), seen.end(), expected), seen.end()) << expected;
        }
    }
}

// A hand-written log: lines of other processes, a broken line, two lines of the same pid (the
// last counts), and lines from before the reader was made (not read).
TEST(UpdateLogReader, FindsTheLastLineOfAPidWrittenSinceItWasMade) {
    TempDir dir;
    const std::string path = dir.Path() + "/updates.jsonl";
    std::ofstream(path) << R"({"pid":42,"return_code":0,"backup":"/old"})"
                        << "\n";
    const UpdateLogReader reader(path);
    EXPECT_FALSE(reader.Find(42).has_value()) << "written before the reader";
    std::ofstream(path, std::ios::app)
        << R"({"pid":41,"return_code":1})"
        << "\n"
        << "{not json\n"
        << R"({"pid":42,"return_code":3,"reason":"first"})"
        << "\n"
        << R"({"pid":"42"})"
        << "\n"
        << R"({"started":"2026-12-09T03:10:00Z","pid":42,"serial":"00000000000012ab",)"
        << R"("model":"6700","series":"6","return_code":3,)"
        << R"("versions_after":{"Controller Version":"4.2.0","Boot Load Version":"6.7"},)"
        << R"("reason":"codeplug 5.7","backup":null,)"
        << R"("steps":[{"step":"download","result":"done","detail":null}]})"
        << "\n";
    const auto entry = reader.Find(42);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ((*entry)["reason"], "codeplug 5.7");
    EXPECT_FALSE(reader.Find(43).has_value());
    EXPECT_FALSE(UpdateLogReader(dir.Path() + "/none.jsonl").Find(42).has_value());

    // What the fleet takes from it: the log's names of versions meet the query's plain ones; a
    // radio that does not answer afterwards keeps the log's versions, one that does gives the
    // rest (and its own value where both say).
    for (const bool answersAfter : {false, true}) {
        SCOPED_TRACE(answersAfter);
        FleetRadio radio;
        radio.state = FleetRadio::State::kDone;
        radio.returnCode = 3;
        radio.versionsBefore = {{"controller_version", "4.1.0"},
                                {"dsp_software_version", "3.2.1"},
                                {"boot_load_version", "6.5"}};
        radio.console.Feed("Uploading codeplug...Done.\nCodeplug saved to /from/console\n");
        radio.TakeLogEntry(*entry);
        radio.TakeConsole();
        radio.TakeQueryAfter(answersAfter ? Json{{"port", "COM7"},
                                                 {"controller_version", "4.2.1"},
                                                 {"dsp_software_version", "3.3.0"},
                                                 {"radio_serial_number", "12-34"}}
                                          : Json());
        EXPECT_EQ(radio.serial, "00-00-00-00-00-00-12-AB") << "in the version panel's form";
        EXPECT_EQ(radio.backup, "/from/console") << "the log's null leaves the console's word";
        std::ostringstream table;
        FleetReport::PrintTable(table, {radio});
        for (const std::string row :
             {answersAfter ? "controller_version      4.1.0 -> 4.2.1"
                           : "controller_version      4.1.0 -> 4.2.0",
              answersAfter ? "dsp_software_version    3.2.1 -> 3.3.0"
                           : "dsp_software_version    3.2.1 -> unknown",
              "boot_load_version       6.5 -> 6.7", "reason: codeplug 5.7"}) {
            EXPECT_NE(table.str().find(row), std::string::npos) << row << "\n" << table.str();
        }
    }
    // The query's serial number is kept over the log's.
    FleetRadio asked;
    asked.serial = "00-00-00-00-00-00-00-07";
    asked.TakeLogEntry(*entry);
    EXPECT_EQ(asked.serial, "00-00-00-00-00-00-00-07");
    // Without a log line the reason is the updater's summary's, else the console's last message.
    const std::pair<std::string, std::string> consoles[] = {
        {"\nExtracting embedded files......No answer.\n\nCheck the cable.", "Check the cable."},
        {"\nUploading codeplug......Failed.warning: the update log could not be written\n"
         "quillon-updater: return code 3 (codeplug not restored): upload failed (stopped. "
         "Next: try); the codeplug read from the radio is saved in /b/1.bin. Next: restore it.\n",
         "upload failed (stopped. Next: try)"}};
    for (const auto& [output, reason] : consoles) {
        FleetRadio unlogged;
        unlogged.returnCode = 1;
        unlogged.console.Feed(output);
        unlogged.console.Finish();
        unlogged.TakeConsole();
        EXPECT_EQ(unlogged.reason, reason);
    }
}

TEST(FleetReport, ExitCodeIsTheWorstInTheOrderOneThreeTwoZero) {
    struct Case {
        std::vector<int> codes;  // -1: a radio not run; -2: a skipped port
        int exitCode;
    };
    const Case cases[] = {{{0, 0, 0}, 0},  {{0, 2, 0}, 2}, {{2, 3, 0}, 3}, {{3, 1, 2}, 1},
                          {{0, 130}, 1},   {{0, -1}, 1},   {{0, -2}, 0},   {{-2}, 1},
                          {{2, -2, 2}, 2}, {{3, 2, 3}, 3}};
    for (const Case& c : cases) {
        std::vector<FleetRadio> radios(c.codes.size());
        for (std::size_t i = 0; i < c.codes.size(); ++i) {
            radios[i].state = c.codes[i] == -1   ? FleetRadio::State::kNotRun
                              : c.codes[i] == -2 ? FleetRadio::State::kSkipped
                                                 : FleetRadio::State::kDone;
            radios[i].returnCode = c.codes[i];
        }
        EXPECT_EQ(FleetReport::ExitCode(radios), c.exitCode) << ::testing::PrintToString(c.codes);
    }
}

}  // namespace
