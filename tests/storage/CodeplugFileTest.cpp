#include "storage/CodeplugFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace quillon {
namespace {

namespace fs = std::filesystem;

class CodeplugFileWrite : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "codeplug-file-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        previousMask = ::umask(022);
        file.Image()[0] = 0x5F5F;
        file.Image()[1] = 0x1234;
    }
    void TearDown() override {
        ::umask(previousMask);
        fs::remove_all(dir);
    }

    std::string Path(const std::string& name) const { return dir + "/" + name; }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static unsigned ModeOf(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    std::string dir;
    mode_t previousMask = 0;
    CodeplugFile file;
    const std::string written = std::string("\x5F\x5F\x12\x34", 4);
};

TEST_F(CodeplugFileWrite, ReplacesRegularFilesOnlyAndKeepsTheirMode) {
    struct Case {
        const char* name;
        std::function<void(const std::string& out)> prepare;
        std::string replaced;  // the file that receives the bytes ("" when refused)
        unsigned mode;
        const char* refusal;  // text in the error when refused
    };
    const std::string target = Path("target.cpl");
    const Case cases[] = {
        {"new file", [](const std::string&) {}, Path("out.cpl"), 0644, nullptr},
        {"existing private file",
         [](const std::string& out) {
             Put(out, "old");
             ::chmod(out.c_str(), 0600);
         },
         Path("out.cpl"), 0600, nullptr},
        {"link to a file",
         [&](const std::string& out) {
             Put(target, "old");
             ::chmod(target.c_str(), 0640);
             fs::create_symlink("target.cpl", out);
         },
         target, 0640, nullptr},
        {"link to a link to a file",
         [&](const std::string& out) {
             Put(target, "old");
             fs::create_symlink("target.cpl", Path("middle"));
             fs::create_symlink(Path("middle"), out);
         },
         target, 0644, nullptr},
        {"dangling link", [&](const std::string& out) { fs::create_symlink("target.cpl", out); },
         target, 0644, nullptr},
        {"FIFO", [](const std::string& out) { ::mkfifo(out.c_str(), 0644); }, "", 0, "a FIFO"},
        {"folder", [](const std::string& out) { fs::create_directory(out); }, "", 0, "a folder"},
        {"link to a folder",
         [&](const std::string& out) {
             fs::create_directory(Path("sub"));
             fs::create_symlink("sub", out);
         },
         "", 0, "a folder"},
        {"device",
         [](const std::string& out) {
             // A private node for the null device; only root may make one.
             if (::mknod(out.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
                 ::mkfifo(out.c_str(), 0644);
             }
         },
         "", 0, geteuid() == 0 ? "a device" : "a FIFO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir);
        fs::create_directory(dir);
        const std::string out = Path("out.cpl");
        c.prepare(out);
        const auto before = fs::symlink_status(out).type();
        std::string error;
        const bool ok = file.Write(out, written.size(), error);
        if (c.refusal != nullptr) {
            EXPECT_FALSE(ok);
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
            EXPECT_EQ(fs::symlink_status(out).type(), before);
        } else {
            ASSERT_TRUE(ok) << error;
            EXPECT_EQ(Slurp(c.replaced), written);
            EXPECT_EQ(ModeOf(c.replaced), c.mode);
            EXPECT_EQ(fs::symlink_status(out).type(),
                      before == fs::file_type::not_found ? fs::file_type::regular : before);
        }
        // No temporary file is left behind.
        for (const auto& entry : fs::directory_iterator(dir)) {
            EXPECT_EQ(entry.path().filename().string().find(".cpl."), std::string::npos)
                << entry.path();
        }
    }
}

// The check before a long read from the radio: it refuses where Write would fail, says why, and
// leaves nothing behind either way.
TEST_F(CodeplugFileWrite, CheckWritableRefusesWhereWriteWouldFail) {
    fs::create_directory(Path("folder"));
    Put(Path("plain"), "x");
    fs::create_directory(Path("locked"));
    fs::permissions(Path("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    const bool root = ::geteuid() == 0;  // root creates files in a read-only folder
    const struct {
        std::string path;
        bool writable;
        std::string says;
    } cases[] = {
        {Path("new.cpl"), true, ""},
        {Path("plain"), true, ""},
        {Path("nodir/x.cpl"), false, "the folder " + Path("nodir") + " does not exist"},
        {Path("plain/x.cpl"), false, "Not a directory"},
        {Path("folder"), false, "it is a folder"},
        {Path("locked/x.cpl"), root, "no file can be created in " + Path("locked")},
        {"", false, "empty file name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        EXPECT_EQ(CodeplugFile::CheckWritable(c.path, error), c.writable) << error;
        if (!c.writable) {
            EXPECT_NE(error.find(c.says), std::string::npos) << error;
        }
        std::string writeError;
        EXPECT_EQ(file.Write(c.path, 4, writeError), c.writable) << writeError;
    }
    // Only what the writes made: no temporary file of the checks.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"folder", "locked", "new.cpl", "plain"}));
    fs::permissions(Path("locked"), fs::perms::owner_all);
}

// Reading takes regular files only, and neither a FIFO without a writer nor a device can hold
// the open (a blocking open would hang here).
using CodeplugFileRead = CodeplugFileWrite;

TEST_F(CodeplugFileRead, ReadsRegularFilesOnlyWithoutBlocking) {
    struct Case {
        const char* name;
        std::function<void(const std::string& in)> prepare;
        const char* refusal;  // text in the error, nullptr when the file is read
    };
    const Case cases[] = {
        {"regular file", [&](const std::string& in) { Put(in, written); }, nullptr},
        {"link to a regular file",
         [&](const std::string& in) {
             Put(Path("target.cpl"), written);
             fs::create_symlink("target.cpl", in);
         },
         nullptr},
        {"FIFO without a writer", [](const std::string& in) { ::mkfifo(in.c_str(), 0644); },
         "it is a FIFO"},
        {"terminal or device", [](const std::string& in) { fs::create_symlink("/dev/null", in); },
         "it is a device"},
        {"folder", [](const std::string& in) { fs::create_directory(in); }, "it is a folder"},
        {"missing", [](const std::string&) {}, "cannot open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir);
        fs::create_directory(dir);
        const std::string in = Path("in.cpl");
        c.prepare(in);
        CodeplugFile read;
        std::string error;
        const bool ok = read.Read(in, error);
        EXPECT_EQ(ok, c.refusal == nullptr) << error;
        if (ok) {
            EXPECT_EQ(read.ByteLength(), written.size());
            EXPECT_EQ(read.Image()[0], 0x5F5F);
            EXPECT_EQ(read.Image()[1], 0x1234);
        } else {
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
        }
    }
}

}  // namespace
}  // namespace quillon
