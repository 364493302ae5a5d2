// `quillon-tool download --port N|PATH [--loader FILE] --code FILE [--dsp FILE] [--radio-type
// CODE] [--low-speed]`: sends a loader and a code image (or a loader and a DSP program) into a
// connected radio as the update does, at 115200 bit/s unless told otherwise.

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/core/ImageFileCheck.h"
#include "app/core/PrivateFolder.h"
#include "download/CodeDownload.h"
#include "download/DspDownload.h"
#include "link/Comm.h"
#include "link/ProtocolTiming.h"
#include "platform/Terminal.h"
#include "tools/quillon-tool/ToolCommand.h"
#include "tools/quillon-tool/ToolConnection.h"

namespace quillon::tool {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct DownloadOptions {
    std::string port;
    std::string loader;
    std::string code;
    std::string dsp;
    int radioType = 0;
    bool lowSpeed = false;
};

// Checks every file that is to go whole before the port is opened, so a wrong or cut file sends
// nothing: "file:line: reason" on the error stream. False on the first that fails.
bool FilesSound(const DownloadOptions& options) {
    const bool dsp = !options.dsp.empty();
    std::vector<std::pair<std::string, SRecordReader::Mode>> images;
    if (!options.loader.empty()) {
        images.emplace_back(options.loader,
                            dsp ? SRecordReader::Mode::kFixedS3 : SRecordReader::Mode::kNormal);
    }
    if (!dsp) {
        images.emplace_back(options.code, SRecordReader::Mode::kNormal);
    }
    for (const auto& [path, mode] : images) {
        SRecordFault fault;
        if (!ImageFileCheck::SRecordFile(path, mode, fault)) {
            std::cerr << "download: " << DescribeFault(path, fault) << "\n";
            return false;
        }
    }
    std::string error;
    if (dsp && !ImageFileCheck::CoffFile(options.dsp, error)) {
        std::cerr << "download: " << options.dsp << ": " << error << "\n";
        return false;
    }
    return true;
}

// A progress bar on a terminal, one line per step and status otherwise.
class ToolReport : public ProgressReport {
public:
    ToolReport(EventPump& pump, bool terminal) : pump_(pump), terminal_(terminal) {}
    ~ToolReport() override { EndBar(); }

    void BeginStep(const std::string& name, int64_t total) override {
        EndBar();
        step_ = name;
        total_ = total;
        startMs_ = pump_.NowMs();
        lastDrawMs_ = -1;
        if (!terminal_) {
            std::cout << "step " << name << "\n" << std::flush;
        }
    }
    void Advance(int64_t done, int64_t total) override {
        if (!terminal_ || total <= 0) {
            return;
        }
        const int64_t now = pump_.NowMs();
        if (done < total && lastDrawMs_ >= 0 && now - lastDrawMs_ < 200) {
            return;
        }
        lastDrawMs_ = now;
        const double seconds = static_cast<double>(now - startMs_) / 1000.0;
        // Erase waits count milliseconds; the images count quarter bytes of their text.
        const bool image = step_ != "erase";
        const int64_t bytes = image ? done * 4 : done;
        const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
        const double left =
            done > 0 ? seconds * static_cast<double>(total - done) / static_cast<double>(done) : 0;
        const int width = 30;
        const int filled = static_cast<int>(done * width / total);
        std::printf("\r%-6s [%s%s] %3d%% ", step_.c_str(), std::string(filled, '#').c_str(),
                    std::string(width - filled, ' ').c_str(), static_cast<int>(done * 100 / total));
        if (image) {
            std::printf("%lld B %.1f kB/s", static_cast<long long>(bytes), rate / 1000.0);
        }
        std::printf(" %d:%02d left  ", static_cast<int>(left) / 60, static_cast<int>(left) % 60);
        std::fflush(stdout);
        barShown_ = true;
    }
    void Status(const std::string& text) override {
        lastStatus_ = text;
        EndBar();
        std::cout << text << "\n" << std::flush;
    }

    const std::string& LastStatus() const { return lastStatus_; }

private:
    void EndBar() {
        if (barShown_) {
            std::printf("\n");
            std::fflush(stdout);
            barShown_ = false;
        }
    }

    EventPump& pump_;
    bool terminal_;
    std::string step_;
    int64_t total_ = 0;
    int64_t startMs_ = 0;
    int64_t lastDrawMs_ = -1;
    bool barShown_ = false;
    std::string lastStatus_;
};

int RunDownload(const DownloadOptions& options) {
    std::ifstream loader;
    if (!options.loader.empty()) {
        loader.open(options.loader, std::ios::binary);
        if (!loader) {
            std::cerr << "Cannot read the loader " << options.loader << ".\n";
            return kExitFailed;
        }
    }
    std::ifstream image(options.dsp.empty() ? options.code : options.dsp, std::ios::binary);
    if (!image) {
        std::cerr << "Cannot read " << (options.dsp.empty() ? options.code : options.dsp) << ".\n";
        return kExitFailed;
    }
    if (!options.dsp.empty() && options.loader.empty()) {
        std::cerr << "--dsp needs --loader.\n";
        return kExitUsage;
    }
    if (!FilesSound(options)) {
        return kExitUsage;
    }

    ToolConnection connection(options.port);
    if (const int failed = connection.Open(options.lowSpeed, std::cerr)) {
        return failed;
    }
    CommSession& session = connection.Session();
    EventPump& pump = connection.Pump();
    // A stop signal ends the current wait; the download then takes its failure path.
    session.SetCancelFlag(&ToolCancel());

    ToolReport report(pump, IsTerminal(stdout));
    const DownloadContext context{session, pump, report, &ToolCancel()};
    const auto radioType = static_cast<uint8_t>(options.radioType);
    int result = kDownloadOk;
    if (!options.dsp.empty()) {
        const PrivateFolder pages("quillon-pages");
        std::vector<std::filesystem::path> folders;
        if (!pages.Path().empty()) {
            folders.push_back(pages.Path());
        }
        result = DownloadDsp(context, loader, image, folders);
    } else if (!options.loader.empty()) {
        result = DownloadCode(context, loader, image, radioType, false, true, false);
    } else {
        // The radio's loader is already running: the code alone.
        session.SetTimeout(timing::kDownloadReplyTimeoutMs);
        result = SendImage(context, image, ImageKind::kApplication, false);
    }
    session.Close();
    if (result != kDownloadOk) {
        // The status line says most (the address of a verify failure, a file problem).
        const std::string text =
            options.dsp.empty() ? DownloadResultText(result) : DspResultText(result);
        std::cerr << (result == kDownloadWrongProcessor || report.LastStatus().empty()
                          ? text
                          : report.LastStatus())
                  << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

void AddDownloadCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand(
        "download", "Send a loader and a code image (or a DSP program) into the connected radio");
    auto options = std::make_shared<DownloadOptions>();
    command->add_option("--port", options->port, "COM number (1-255) or device path")->required();
    command->add_option("--loader", options->loader, "RAM loader, S-record file")
        ->check(CLI::ExistingFile);
    command->add_option("--code", options->code, "code image, S-record file")
        ->check(CLI::ExistingFile);
    command->add_option("--dsp", options->dsp, "DSP program, COFF file (sent after the loader)")
        ->check(CLI::ExistingFile);
    command
        ->add_option("--radio-type", options->radioType,
                     "radio type code: 0, 1, 4, 5, 6, 7 or 8 (selects the erase wait)")
        ->check(CLI::IsMember({0, 1, 4, 5, 6, 7, 8}))
        ->capture_default_str();
    command->add_flag("--low-speed", options->lowSpeed, "stay at 19200 bit/s");
    command->footer(
        "Exit codes: 0 the download succeeded; 1 it failed (the reason is printed); "
        "2 usage error, or a file that is not a whole image (nothing is sent).");
    command->callback([options, &exitCode] {
        if (options->code.empty() && options->dsp.empty()) {
            std::cerr << "download: --code or --dsp is required.\n";
            exitCode = kExitUsage;
            return;
        }
        exitCode = RunDownload(*options);
    });
}

[[maybe_unused]] const bool kRegistered = RegisterToolCommand(AddDownloadCommand);

}  // namespace
}  // namespace quillon::tool
