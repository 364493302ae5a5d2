#pragma once

// Stand-ins for what surrounds the update logic in its tests: a view that records what a person
// would see, scripted update steps, and a codeplug exchange that serves a given image.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/CodeplugExchange.h"
#include "app/core/UpdateSteps.h"
#include "app/core/UpdaterView.h"
#include "tests/sim/SimProcess.h"

namespace quillon::test {

struct Box {
    std::string text;
    std::string caption;
    MessageIcon icon;
};

class WorkflowView : public UpdaterView {
public:
    explicit WorkflowView(bool console) : console_(console) {}
    bool ConsoleMode() const override { return console_; }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void WriteConsole(const std::string& text) override { transcript += text; }
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) override {
        boxes.push_back({text, caption, icon});
        if (onBox) {
            onBox();
        }
        return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
    }
    void SetProgress(int position, int maximum) override {
        lastProgress = position;
        lastMaximum = maximum;
    }
    bool AskPassword(std::string& text) override {
        ++passwordAsks;
        text = typed;
        return confirm;
    }
    void ShowRunningState(bool running) override { runningMarks.push_back(running); }

    std::string LastStatus() const { return statuses.empty() ? "" : statuses.back(); }
    bool HasBox(const std::string& caption) const {
        for (const Box& b : boxes) {
            if (b.caption == caption) {
                return true;
            }
        }
        return false;
    }

    std::string transcript;
    std::vector<std::string> statuses;
    std::vector<Box> boxes;
    std::vector<bool> runningMarks;
    std::function<void()> onBox;
    MessageAnswer answer = MessageAnswer::Yes;
    int lastProgress = -1;
    int lastMaximum = -1;
    int passwordAsks = 0;
    std::string typed = "pelican";
    bool confirm = true;

private:
    bool console_;
};

// A codeplug exchange serving `image` (radio byte order) and keeping what is written back.
class FakeExchange : public CodeplugExchange {
public:
    struct Record {
        std::vector<uint8_t> image;
        int uploadResult = 1;
        int downloadResult = 1;
        int uploads = 0;
        int downloads = 0;
        std::vector<uint8_t> written;
        std::string serial;
    };
    explicit FakeExchange(Record& record) : record_(record) {}
    int Upload(uint8_t* buffer, int32_t& length) override {
        ++record_.uploads;
        std::memcpy(buffer, record_.image.data(), record_.image.size());
        length = static_cast<int32_t>(record_.image.size());
        return record_.uploadResult;
    }
    int Download(uint8_t* buffer, int32_t length) override {
        ++record_.downloads;
        record_.written.assign(buffer, buffer + length);
        return record_.downloadResult;
    }

    static CodeplugExchangeFactory Factory(Record& record) {
        return [&record](CommSession&, const std::string& serial, UpdaterView&) {
            record.serial = serial;
            return std::make_unique<FakeExchange>(record);
        };
    }

private:
    Record& record_;
};

// Update steps with scripted answers. Extraction writes the joined files for real (in the
// current folder) so their removal can be checked; the download writes what the engine writes
// to the console and runs `duringDownload` in the middle.
class FakeSteps : public UpdateSteps {
public:
    bool connect = true;
    bool bootVersion = true;
    bool upgrade = false;
    bool majorMismatch = false;
    bool commError = false;
    bool formMismatch = false;
    bool bootTwo = false;
    bool extract = true;
    bool target = true;
    int download = 1;
    std::function<void()> duringDownload;
    std::function<void()> afterCodeDownload;  // the radio restarts

    std::vector<std::string> calls;
    std::vector<bool> downloadBootFlags;
    bool filesExistedDuringDownload = false;

    bool ConnectToRadio(bool lowSpeed) override {
        calls.push_back(lowSpeed ? "connect-low" : "connect");
        return connect;
    }
    void CloseLink() override { calls.push_back("close"); }
    bool CheckBootVersion(bool& useBootTwo) override {
        useBootTwo = bootTwo;
        calls.push_back("boot-version");
        return bootVersion;
    }
    bool CheckBootVersionAuto(bool& major, bool& comm, bool& form, bool& useBootTwo) override {
        calls.push_back("boot-version-auto");
        major = majorMismatch;
        comm = commError;
        form = formMismatch;
        useBootTwo = bootTwo;
        return upgrade;
    }
    bool ExtractEmbeddedFiles(bool boot, bool useBootTwo, std::string& loader,
                              std::string& code) override {
        calls.push_back(std::string("extract-") + (useBootTwo ? "boottwo" : boot ? "boot" : "app"));
        if (!extract) {
            return false;
        }
        loader = "Loader.hex";
        code = "Code.hex";
        std::ofstream(loader) << "S0030000FC\n";
        std::ofstream(code) << "S0030000FC\n";
        return true;
    }
    bool CheckTargetRadio() override {
        calls.push_back("target");
        return target;
    }
    int DownloadCode(std::istream& loader, std::istream& code, ProgressReport& report, bool boot,
                     bool consoleProgress, const CancelFlag*) override {
        calls.push_back("download");
        downloadBootFlags.push_back(boot);
        filesExistedDuringDownload = loader.good() && code.good();
        report.Status("Preparing to download ...");
        if (consoleProgress) {
            report.Console("\rDownloading Loader code...100% complete...Done.\n");
        }
        if (duringDownload) {
            duringDownload();
        }
        if (download == 1 && consoleProgress) {
            report.Console(std::string("\rDownloading ") + (boot ? "Bootloader " : "Application ") +
                           "code...100% complete...Done.\n");
        }
        if (download == 1 && !boot && afterCodeDownload) {
            afterCodeDownload();
        }
        return download;
    }
    int DownloadDsp(std::istream&, std::istream&, ProgressReport&, const CancelFlag*) override {
        calls.push_back("download-dsp");
        return download;
    }
};

// The test runs in a fresh folder of its own (the update writes its image files into the
// current one) and goes back when done.
class OwnWorkingFolder {
public:
    OwnWorkingFolder() : previous_(getcwd(nullptr, 0)) {
        EXPECT_EQ(chdir(folder_.Path().c_str()), 0);
    }
    ~OwnWorkingFolder() {
        EXPECT_EQ(chdir(previous_), 0);
        free(previous_);
    }
    OwnWorkingFolder(const OwnWorkingFolder&) = delete;
    OwnWorkingFolder& operator=(const OwnWorkingFolder&) = delete;
    const std::string& Path() const { return folder_.Path(); }

private:
    char* previous_;
    sim::testing::TempDir folder_;
};

inline bool FileExists(const std::string& name) {
    return std::ifstream(name).good();
}

}  // namespace quillon::test
