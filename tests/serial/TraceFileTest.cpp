#include "serial/TraceFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quillon {
namespace {

namespace fs = std::filesystem;

// A trace holds the whole conversation with a radio: a new one is its owner's alone, whatever
// the umask; an existing one is appended to and keeps its mode.
TEST(TraceFile, ANewTraceIsPrivateAndAnOldOneIsAppendedTo) {
    struct Case {
        const char* name;
        const char* before;  // nullptr: no file yet
        unsigned mode;       // of the file before, and expected after
        const char* after;
    };
    const Case cases[] = {
        {"new file", nullptr, 0600, "one\ntwo\n"},
        {"existing file", "old\n", 0640, "old\none\ntwo\n"},
    };
    std::string pattern = (fs::temp_directory_path() / "trace-file-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const mode_t previousMask = ::umask(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = pattern + "/" + c.name;
        if (c.before != nullptr) {
            std::ofstream(path) << c.before;
            ::chmod(path.c_str(), c.mode);
        }
        std::string error;
        {
            auto trace = TraceFile::Open(path, error);
            ASSERT_NE(trace, nullptr) << error;
            trace->Line("one");
            trace->Line("two");
        }
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.mode);
        std::ifstream in(path);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.after);
    }
    ::umask(previousMask);
    std::string error;
    EXPECT_EQ(TraceFile::Open(pattern + "/no/such/folder", error), nullptr);
    EXPECT_NE(error.find("Cannot open the trace file"), std::string::npos) << error;
    fs::remove_all(pattern);
}

}  // namespace
}  // namespace quillon
