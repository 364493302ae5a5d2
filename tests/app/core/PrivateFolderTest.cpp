#include "app/core/PrivateFolder.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

#include "tests/sim/SimProcess.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using sim::testing::TempDir;

// Made under the first parent that takes it, only for this user, and gone with what it holds.
TEST(PrivateFolderTest, FirstParentThatTakesItAndRemovedWithItsFiles) {
    TempDir base;
    const fs::path good = base.Path();
    const fs::path missing = good / "missing";
    const fs::path file = good / "plain";
    std::ofstream(file) << "x";
    const struct {
        const char* what;
        std::vector<fs::path> parents;
        bool made;
    } cases[] = {
        {"first parent", {good, missing}, true},
        {"after parents that fail", {missing, file, good}, true},
        {"none takes it", {missing, file}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path made;
        {
            const PrivateFolder folder("quillon-test", c.parents);
            made = folder.Path();
            EXPECT_EQ(!made.empty(), c.made);
            if (made.empty()) {
                continue;
            }
            EXPECT_EQ(made.parent_path(), good);
            EXPECT_EQ(made.filename().string().rfind("quillon-test-", 0), 0u);
            struct stat st {};
            ASSERT_EQ(::stat(made.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0700u);
            std::ofstream(made / "Page0") << "page";
        }
        EXPECT_FALSE(fs::exists(made));
    }
}

// A $TMPDIR that is not a folder leaves the working folder, never an exception.
TEST(PrivateFolderTest, BadTemporaryFolderFallsBackToTheWorkingFolder) {
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("TMPDIR", "/nonexistent/quillon", 1);
    std::vector<fs::path> parents;
    EXPECT_NO_THROW(parents = PrivateFolder::DefaultParents());
    if (old != nullptr) {
        ::setenv("TMPDIR", saved.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    ASSERT_EQ(parents.size(), 1u);
    EXPECT_EQ(parents[0], fs::current_path());
}

}  // namespace
}  // namespace quillon
