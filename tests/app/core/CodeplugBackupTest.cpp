#include "app/core/CodeplugBackup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/sim/SimProcess.h"

namespace quillon::test {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CodeplugBackup, KeepsEveryCopyUnderItsSerialAndTime) {
    sim::testing::TempDir dir;
    const CodeplugBackup backup(dir.Path() + "/data/quillon/backups");
    const std::vector<uint8_t> first{0x5F, 0x5F, 0x00, 0x10};
    const std::vector<uint8_t> second{1, 2, 3};
    std::string path1;
    std::string path2;
    std::string error;
    ASSERT_TRUE(backup.Save(first.data(), first.size(), "123456789ABCDEF0", path1, error)) << error;
    ASSERT_TRUE(backup.Save(second.data(), second.size(), "123456789ABCDEF0", path2, error))
        << error;
    EXPECT_NE(path1, path2);  // the same second: a second file, not a replaced one
    EXPECT_EQ(ReadAll(path1), first);
    EXPECT_EQ(ReadAll(path2), second);
    EXPECT_EQ(path1.rfind(dir.Path() + "/data/quillon/backups/codeplug-123456789ABCDEF0-", 0), 0u);
    EXPECT_TRUE(path1.ends_with(".bin"));
}

TEST(CodeplugBackup, NamesAndFolders) {
    EXPECT_EQ(CodeplugBackup::FileName("0011AABB", 0), "codeplug-0011AABB-19700101T000000Z.bin");
    EXPECT_EQ(CodeplugBackup::FileName("", 86400 + 3661), "codeplug-unknown-19700102T010101Z.bin");
    EXPECT_EQ(CodeplugBackup::FileName("../x", 0), "codeplug-___x-19700101T000000Z.bin");

    const char* savedData = std::getenv("XDG_DATA_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string data = savedData ? savedData : "";
    const std::string home = savedHome ? savedHome : "";
    const struct {
        const char* data;
        const char* home;
        const char* folder;
    } rows[] = {
        {"/x/data", "/home/u", "/x/data/quillon/backups"},
        {"relative", "/home/u", "/home/u/.local/share/quillon/backups"},
        {nullptr, "/home/u", "/home/u/.local/share/quillon/backups"},
        {nullptr, nullptr, ""},
    };
    for (const auto& row : rows) {
        row.data ? setenv("XDG_DATA_HOME", row.data, 1) : unsetenv("XDG_DATA_HOME");
        row.home ? setenv("HOME", row.home, 1) : unsetenv("HOME");
        EXPECT_EQ(CodeplugBackup::DefaultFolder(), row.folder);
    }
    savedData ? setenv("XDG_DATA_HOME", data.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    savedHome ? setenv("HOME", home.c_str(), 1) : unsetenv("HOME");
}

TEST(CodeplugBackup, AFolderThatCannotBeMadeIsAnErrorWithNothingLeft) {
    sim::testing::TempDir dir;
    std::ofstream(dir.Path() + "/file") << "x";
    const uint8_t byte = 0;
    std::string path;
    std::string error;
    EXPECT_FALSE(CodeplugBackup(dir.Path() + "/file/backups").Save(&byte, 1, "AB", path, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(CodeplugBackup("").Save(&byte, 1, "AB", path, error));
    if (geteuid() != 0) {
        ASSERT_EQ(::mkdir((dir.Path() + "/locked").c_str(), 0500), 0);
        EXPECT_FALSE(CodeplugBackup(dir.Path() + "/locked").Save(&byte, 1, "AB", path, error));
        EXPECT_TRUE(std::filesystem::is_empty(dir.Path() + "/locked"));
    }
}

}  // namespace
}  // namespace quillon::test
