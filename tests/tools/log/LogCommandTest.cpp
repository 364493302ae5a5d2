// `quillon-tool log`: one update a line, by serial number, or as JSON that parses; a line that is
// no record is skipped and told.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "app/core/UpdateLog.h"
#include "tests/sim/SimProcess.h"
#include "tests/support/ChildProcess.h"

namespace quillon {
namespace {

test::ProgramRun RunLog(const std::string& state, std::vector<std::string> args) {
    args.insert(args.begin(), "log");
    test::ProgramCall call = test::Program(QUILLON_BINARY_DIR "/tools/quillon-tool", args);
    call.environment = {"XDG_STATE_HOME=" + state};
    return test::RunProgram(call);
}

TEST(LogCommandTest, ShowsEachUpdateFilteredBySerialOrAsJson) {
    sim::testing::TempDir dir;
    const UpdateLog log(dir.Path() + "/quillon/updates.jsonl");
    std::string error;
    for (const char* serial : {"00000000000000A1", "00000000000000B2"}) {
        UpdateRecord record;
        record.Begin(true);
        record.port = 7;
        record.serial = serial;
        record.model = "6700";
        UpdateRecord::SetVersion(record.versionsBefore, UpdateRecord::kBootVersion, "6.5");
        UpdateRecord::SetVersion(record.versionsAfter, UpdateRecord::kBootVersion, "6.7");
        record.Finish(2);
        ASSERT_TRUE(log.Append(record, error)) << error;
    }
    ASSERT_TRUE(log.AppendLine("{\"cut short", error));
    // A line of an older updater, its serial number without the panel's '-'.
    ASSERT_TRUE(log.AppendLine(R"({"serial":"00000000000000B2","return_code":0})", error));

    const test::ProgramRun all = RunLog(dir.Path(), {});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_NE(all.out.find("  COM7  00-00-00-00-00-00-00-A1  6700  Boot Load Version 6.5 -> 6.7  "
                           "return code 2 (boot code upgraded"),
              std::string::npos)
        << all.out;
    EXPECT_NE(all.out.find("00-00-00-00-00-00-00-B2"), std::string::npos);
    EXPECT_NE(all.err.find("1 line(s) are no update record"), std::string::npos) << all.err;

    // The digits alone find the line in the panel's form and the older one.
    const test::ProgramRun one = RunLog(dir.Path(), {"--serial", "00000000000000b2", "--json"});
    EXPECT_EQ(one.exitCode, 0);
    const nlohmann::json records = nlohmann::json::parse(one.out);
    ASSERT_EQ(records.size(), 2u) << one.out;
    EXPECT_EQ(records[0]["serial"], "00-00-00-00-00-00-00-B2") << "as the version panel shows it";
    EXPECT_EQ(records[0]["return_code"], 2);

    const test::ProgramRun none = RunLog(dir.Path() + "/nothing", {"--json"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(nlohmann::json::parse(none.out), nlohmann::json::array());
}

}  // namespace
}  // namespace quillon
