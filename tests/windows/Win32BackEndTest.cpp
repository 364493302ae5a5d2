// The Win32 back ends that run without a serial port: files, the event pump's timers and
// wake-ups, port names and open failures.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/core/CodeplugBackup.h"
#include "platform/FileSystem.h"
#include "platform/NewFile.h"
#include "serial/ComPortPath.h"
#include "serial/DeviceAccess.h"
#include "serial/win32/Win32EventPump.h"
#include "serial/win32/Win32SerialLine.h"

namespace quillon {
namespace {

class Win32FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = FileSystem::MakeUniqueFolder(
            (std::filesystem::temp_directory_path() / "quillon-test").string());
        ASSERT_FALSE(folder_.empty());
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string folder_;
};

TEST_F(Win32FilesTest, NewFileNeverOpensAFileThatIsThereAndDiscardsOnlyItsOwn) {
    const std::string path = folder_ + "\\piece.1";
    NewFile first;
    ASSERT_EQ(first.Create(path, false), NewFile::Result::Created);
    const std::string bytes("\x00\x01\r\n\x1a end", 9);  // no text-mode translation
    ASSERT_TRUE(first.Write(bytes.data(), bytes.size()));
    ASSERT_TRUE(first.Finish(true));

    NewFile second;
    EXPECT_EQ(second.Create(path, true), NewFile::Result::Exists);
    second.Discard();  // must not remove the first file
    std::vector<uint8_t> read;
    std::string detail;
    ASSERT_EQ(FileSystem::ReadRegularFile(path, 100, read, detail), FileSystem::ReadResult::Ok);
    EXPECT_EQ(std::string(read.begin(), read.end()), bytes);

    {
        NewFile unfinished;
        ASSERT_EQ(unfinished.Create(path + ".2", false), NewFile::Result::Created);
    }
    EXPECT_FALSE(FileSystem::Exists(path + ".2"));
}

TEST_F(Win32FilesTest, ReplaceGoesOverTheTargetAndFoldersAreRefusedAsCodeplugs) {
    const std::string target = folder_ + "\\radio.cpl";
    for (const char* text : {"old", "new"}) {
        NewFile file;
        ASSERT_TRUE(file.CreateBeside(target, 0644));
        ASSERT_TRUE(file.Write(text, 3));
        ASSERT_TRUE(file.Finish(true));
        std::string error;
        ASSERT_TRUE(FileSystem::Replace(file.Path(), target, error)) << error;
    }
    std::vector<uint8_t> read;
    std::string detail;
    ASSERT_EQ(FileSystem::ReadRegularFile(target, 10, read, detail), FileSystem::ReadResult::Ok);
    EXPECT_EQ(std::string(read.begin(), read.end()), "new");
    EXPECT_EQ(FileSystem::ReadRegularFile(folder_, 10, read, detail),
              FileSystem::ReadResult::NotRegular);
    EXPECT_EQ(FileSystem::ReadRegularFile(folder_ + "\\none", 10, read, detail),
              FileSystem::ReadResult::CannotOpen);
    std::string mapped;
    uint32_t mode = 0;
    std::string error;
    EXPECT_FALSE(FileSystem::ReplacementTarget(folder_, mapped, mode, error));
}

TEST_F(Win32FilesTest, BackupsGoUnderLocalAppDataWithNestedFoldersMade) {
    ASSERT_TRUE(::SetEnvironmentVariableA("LOCALAPPDATA", folder_.c_str()));
    _putenv_s("LOCALAPPDATA", folder_.c_str());
    const std::string backups = CodeplugBackup::DefaultFolder();
    EXPECT_EQ(backups, folder_ + "\\quillon\\backups");
    std::string error;
    ASSERT_TRUE(FileSystem::MakeFolders(backups, error)) << error;
    EXPECT_TRUE(FileSystem::Exists(backups));
    NewFile blocker;
    ASSERT_EQ(blocker.Create(folder_ + "\\file", false), NewFile::Result::Created);
    ASSERT_TRUE(blocker.Finish(false));
    EXPECT_FALSE(FileSystem::MakeFolders(folder_ + "\\file\\below", error));
}

TEST(Win32EventPumpTest, TimersFireInOrderAndAWakeEventEndsAWaitEarly) {
    Win32EventPump pump;
    std::vector<int> fired;
    auto slow = pump.CreateTimer();
    auto fast = pump.CreateTimer();
    slow->SetInterval(60);
    fast->SetInterval(20);
    slow->SetCallback([&] {
        fired.push_back(60);
        slow->Stop();
    });
    fast->SetCallback([&] {
        fired.push_back(20);
        fast->Stop();
    });
    slow->Start();
    fast->Start();
    const int64_t start = pump.NowMs();
    while (slow->IsActive()) {
        pump.WaitForActivity(start + 5000);
    }
    EXPECT_EQ(fired, (std::vector<int>{20, 60}));
    EXPECT_GE(pump.NowMs() - start, 55);

    const HANDLE wake = ::CreateEventW(nullptr, FALSE, TRUE, nullptr);  // already set
    pump.AddWakeEvent(wake);
    const int64_t before = pump.NowMs();
    pump.WaitForActivity(before + 5000);
    EXPECT_LT(pump.NowMs() - before, 1000);
    ::CloseHandle(wake);
}

TEST(Win32PortsTest, ComNumbersNameDevicesAndOpenFailuresAreNamedAsOnLinux) {
    EXPECT_EQ(ComPortPath::Resolve(7), "\\\\.\\COM7");
    EXPECT_EQ(ComPortPath::Resolve(255), "\\\\.\\COM255");
    EXPECT_EQ(ComPortPath::Resolve(0), "");
    EXPECT_EQ(ComPortPath::Probe(254), ComPortPath::State::Absent);
    EXPECT_EQ(Win32SerialLine::PortMutexName("\\\\.\\com7"),
              Win32SerialLine::PortMutexName("COM7"));

    const struct {
        DWORD error;
        OpenFailure::Reason reason;
    } kCases[] = {
        {ERROR_FILE_NOT_FOUND, OpenFailure::Reason::NoSuchDevice},
        {ERROR_ACCESS_DENIED, OpenFailure::Reason::InUse},
        {ERROR_SHARING_VIOLATION, OpenFailure::Reason::InUse},
        {ERROR_PRIVILEGE_NOT_HELD, OpenFailure::Reason::PermissionDenied},
        {ERROR_INVALID_FUNCTION, OpenFailure::Reason::NotATerminal},
        {ERROR_GEN_FAILURE, OpenFailure::Reason::Other},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(DeviceAccess::Explain("\\\\.\\COM7", static_cast<int>(c.error)).reason, c.reason)
            << c.error;
    }
    Win32SerialLine line;
    EXPECT_EQ(line.Open("\\\\.\\COM254", {}).reason, OpenFailure::Reason::NoSuchDevice);
    EXPECT_FALSE(line.IsOpen());
    EXPECT_EQ(line.WaitHandle(), -1);
}

}  // namespace
}  // namespace quillon
