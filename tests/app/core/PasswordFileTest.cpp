// The codeplug password file of unattended runs: only a private regular file with a password on
// its first line is used.

#include "app/core/PasswordFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "tests/sim/SimProcess.h"

namespace quillon::test {
namespace {

TEST(PasswordFile, OnlyAPrivateFileWithAPasswordIsUsed) {
    const struct {
        const char* name;
        const char* content;  // nullptr: no file
        mode_t mode;
        const char* password;  // nullptr: refused
        const char* error;
    } rows[] = {
        {"first line, blanks trimmed", " 4711 \r\nsecond\n", 0600, "4711", ""},
        {"no end of line", "12345678", 0400, "12345678", ""},
        {"readable by others", "4711\n", 0604, nullptr, "chmod 600"},
        {"writable by the group", "4711\n", 0620, nullptr, "(mode 0620)"},
        {"empty first line", "\n4711\n", 0600, nullptr, "holds no password"},
        {"missing", nullptr, 0600, nullptr, "No such file"},
    };
    sim::testing::TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.Path() + "/" + row.name;
        if (row.content != nullptr) {
            std::ofstream(path) << row.content;
            ASSERT_EQ(::chmod(path.c_str(), row.mode), 0);
        }
        std::string error;
        const std::optional<std::string> password = PasswordFile::Read(path, error);
        EXPECT_EQ(password.has_value(), row.password != nullptr) << error;
        if (row.password != nullptr && password) {
            EXPECT_EQ(*password, row.password);
        } else {
            EXPECT_NE(error.find(row.error), std::string::npos) << error;
            EXPECT_NE(error.find(PasswordFile::kVariable), std::string::npos) << error;
        }
    }
    std::string error;
    EXPECT_FALSE(PasswordFile::Read(dir.Path(), error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

}  // namespace
}  // namespace quillon::test
