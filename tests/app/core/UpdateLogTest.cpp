// The update log: every field of the shared line format, lines of several processes appended at
// once that never mix, a log that cannot be written, and the console's closing summary made
// from the same record.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "app/core/UpdateLog.h"
#include "app/core/UpdateSummary.h"
#include "tests/sim/SimProcess.h"

namespace quillon::test {
namespace {

using nlohmann::json;
using sim::testing::TempDir;

UpdateRecord RestoredRun() {
    UpdateRecord record;
    record.Begin(true);
    record.port = 7;
    record.device = "/dev/pts/3";
    record.serial = "123456789ABCDEF0";
    record.model = "6700";
    record.series = "6";
    UpdateRecord::SetVersion(record.versionsBefore, UpdateRecord::kBootVersion, "6.5");
    UpdateRecord::SetVersion(record.versionsAfter, UpdateRecord::kBootVersion, "6.5");
    UpdateRecord::SetVersion(record.versionsAfter, UpdateRecord::kBootVersion, "6.7");
    record.codeplugFormatBefore = "5.9";
    record.AddStep("connect", UpdateRecord::Result::Done, "device mode");
    return record;
}

TEST(UpdateLog, TheLineHoldsEveryFieldAbsentOnesAsNull) {
    UpdateRecord record = RestoredRun();
    record.Fail("codeplug upload", "upload failed");
    record.Fail("codeplug upload", "ignored: the step failed already");
    record.Finish(3);
    const std::string text = UpdateLog::Line(record, 4242);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    const json line = json::parse(text);
    // clang-format off
    const char* const keys[] = {
        "started", "ended", "pid", "mode", "port", "device", "serial", "model", "series",
        "versions_before", "versions_after", "codeplug_format_before", "codeplug_format_after",
        "steps", "return_code", "meaning", "reason", "backup"};
    // clang-format on
    EXPECT_EQ(line.size(), std::size(keys));
    for (const char* key : keys) {
        EXPECT_TRUE(line.contains(key)) << key;
    }
    EXPECT_EQ(line["pid"], 4242);
    EXPECT_EQ(line["mode"], "console");
    EXPECT_EQ(line["port"], 7);
    EXPECT_EQ(line["versions_after"], (json{{"Boot Load Version", "6.7"}}));
    EXPECT_TRUE(line["codeplug_format_after"].is_null());
    EXPECT_TRUE(line["backup"].is_null());
    EXPECT_EQ(line["steps"].size(), 2u);
    EXPECT_EQ(
        line["steps"][1],
        (json{{"step", "codeplug upload"}, {"result", "failed"}, {"detail", "upload failed"}}));
    EXPECT_EQ(line["return_code"], 3);
    EXPECT_EQ(line["reason"], "codeplug upload failed (upload failed)");
    const std::string started = line["started"];
    EXPECT_EQ(started.size(), 20u);
    EXPECT_EQ(started.back(), 'Z');
}

TEST(UpdateLog, ParallelProcessesNeverMixTheirLines) {
    TempDir dir;
    const UpdateLog log(dir.Path() + "/state/quillon/updates.jsonl");
    constexpr int kProcesses = 6;
    constexpr int kLines = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            UpdateRecord record = RestoredRun();
            // Lines longer than a pipe's atomic write, of a length of their own per process.
            record.reason = std::string(5000 + 700 * p, static_cast<char>('a' + p));
            record.Finish(1);
            std::string error;
            bool ok = true;
            for (int i = 0; i < kLines; ++i) {
                ok = log.Append(record, error) && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::map<long, int> perProcess;
    std::ifstream in(log.Path());
    for (std::string text; std::getline(in, text);) {
        const json line = json::parse(text);  // a mixed line would not parse
        const std::string reason = line["reason"];
        EXPECT_EQ(reason.find_first_not_of(reason[0]), std::string::npos);
        ++perProcess[line["pid"].get<long>()];
    }
    EXPECT_EQ(perProcess.size(), static_cast<std::size_t>(kProcesses));
    for (const auto& [pid, lines] : perProcess) {
        EXPECT_EQ(lines, kLines) << pid;
    }
}

TEST(UpdateLog, ALogThatCannotBeWrittenSaysWhy) {
    TempDir dir;
    std::ofstream(dir.Path() + "/file") << "x";
    const UpdateRecord record = RestoredRun();
    for (const std::string& path :
         {std::string(), dir.Path() + "/file/updates.jsonl", dir.Path()}) {
        std::string error;
        EXPECT_FALSE(UpdateLog(path).Append(record, error)) << path;
        EXPECT_FALSE(error.empty()) << path;
    }
}

TEST(UpdateSummary, NamesTheMeaningTheReasonAndTheNextStep) {
    const struct {
        int code;
        const char* failedStep;
        const char* backup;
        std::vector<const char*> says;
    } rows[] = {
        {0, nullptr, "/b/c.bin", {"return code 0 (success)", "saved in /b/c.bin"}},
        {1, "connect", "", {"return code 1 (general error): connect failed", "Next: check"}},
        {2, nullptr, "", {"return code 2 (boot code upgraded", "bootload mode and run"}},
        {3,
         "codeplug download",
         "/b/c.bin",
         {"codeplug download failed", "saved in /b/c.bin", "Next: restore the codeplug"}},
    };
    for (const auto& row : rows) {
        UpdateRecord record = RestoredRun();
        if (row.failedStep != nullptr) {
            record.Fail(row.failedStep, "line\none");
        }
        record.backup = row.backup;
        record.Finish(row.code);
        const std::string line = UpdateSummary::Line(record, "quillon-updater");
        EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
        EXPECT_EQ(line.rfind("quillon-updater: ", 0), 0u);
        for (const char* text : row.says) {
            EXPECT_NE(line.find(text), std::string::npos) << line << " lacks " << text;
        }
    }
}

}  // namespace
}  // namespace quillon::test
