#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Terminal.h"

namespace quillon {
namespace {

// Two streams on one file follow each other; on two files, or a file and its copy, they do not.
TEST(Terminal, SameDestinationComparesTheFilesNotTheStreams) {
    const std::string folder = FileSystem::MakeUniqueFolder(::testing::TempDir() + "terminal");
    ASSERT_FALSE(folder.empty());
    const std::string one = folder + "/one.txt";
    const std::string two = folder + "/two.txt";
    std::FILE* a = std::fopen(one.c_str(), "w");
    std::FILE* sameFile = std::fopen(one.c_str(), "a");
    std::FILE* other = std::fopen(two.c_str(), "w");
    ASSERT_TRUE(a && sameFile && other);
    EXPECT_TRUE(SameDestination(a, a));
    EXPECT_TRUE(SameDestination(a, sameFile));
    EXPECT_FALSE(SameDestination(a, other));
    EXPECT_FALSE(IsTerminal(a));
    for (std::FILE* f : {a, sameFile, other}) {
        std::fclose(f);
    }
    std::filesystem::remove_all(folder);
}

// Lines appended in one write each end up whole and in order.
TEST(FileSystemAppend, EachCallAddsItsBytesAtTheEnd) {
    const std::string folder = FileSystem::MakeUniqueFolder(::testing::TempDir() + "append");
    ASSERT_FALSE(folder.empty());
    const std::string log = folder + "/log.txt";
    std::string error;
    ASSERT_TRUE(FileSystem::Append(log, "first\n", error)) << error;
    ASSERT_TRUE(FileSystem::Append(log, "second\n", error)) << error;
    std::vector<uint8_t> bytes;
    std::string detail;
    ASSERT_EQ(FileSystem::ReadRegularFile(log, 100, bytes, detail), FileSystem::ReadResult::Ok);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "first\nsecond\n");
    EXPECT_FALSE(FileSystem::Append(folder + "/missing/log.txt", "x\n", error));
    EXPECT_FALSE(error.empty());
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quillon
