// quillon-tool codeplug info --json: the same findings as the text, parsed as JSON.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/tools/codeplug/ToolRunner.h"

namespace {

using quillon::tooltest::ToolResult;
using quillon::tooltest::ToolRunner;

TEST(CodeplugInfoJson, HoldsEveryBlockAndTableTheTextShows) {
    ToolRunner tool;
    for (const char* format : {"5.9", "5.11"}) {
        SCOPED_TRACE(format);
        ASSERT_EQ(tool.Run({"codeplug", "sample", "--format", format, tool.Path("s.cpl")}).exitCode,
                  0);
        const ToolResult text = tool.Run({"codeplug", "info", tool.Path("s.cpl")});
        const ToolResult json = tool.Run({"codeplug", "info", "--json", tool.Path("s.cpl")});
        ASSERT_EQ(json.exitCode, 0) << json.err;
        const nlohmann::json info = nlohmann::json::parse(json.out);
        EXPECT_EQ(info["format"], format);
        EXPECT_EQ(info["structure"], "OK");
        EXPECT_NE(text.out.find("total length: " + info["total_length_words"].dump() + " words"),
                  std::string::npos);
        EXPECT_NE(text.out.find("systems: " + info["systems"].dump() +
                                ", groups: " + info["groups"].dump()),
                  std::string::npos);
        ASSERT_FALSE(info["blocks"].empty());
        std::size_t at = 0;
        for (const auto& block : info["blocks"]) {
            const std::string line = "  word " + block["word"].dump() + ": " +
                                     block["name"].get<std::string>() + ", " +
                                     block["length_words"].dump() + " words\n";
            at = text.out.find(line, at);
            ASSERT_NE(at, std::string::npos) << line << text.out;
            for (const auto& table : block["tables"]) {
                const std::string row = "    table " + table["table"].dump() + ": " +
                                        table["records"].dump() + " records of " +
                                        table["record_words"].dump() + " words\n";
                at = text.out.find(row, at);
                ASSERT_NE(at, std::string::npos) << row;
            }
        }
    }
    // A file that is no codeplug stays an error in words, not JSON.
    tool.WriteFile("bad.cpl", {1, 2, 3});
    const ToolResult bad = tool.Run({"codeplug", "info", "--json", tool.Path("bad.cpl")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.out, "");
}

}  // namespace
