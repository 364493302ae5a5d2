// `quillon-tool download --port N|PATH [--loader FILE] --code FILE [--dsp FILE] [--radio-type
// CODE] [--low-speed]`: sends a loader and a code image (or a loader and a DSP program) into a
// connected radio as the update does, at 115200 bit/s unless told otherwise.

#include <CLI/CLI.hpp>
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
#include "tools/quillon-tool/TerminalProgressBar.h"
#include "tools/quillon-tool/ToolCommand.h"
#include "tools/quillon-tool/ToolConnection.h"
#include "tools/quillon-tool/ToolOptions.h"

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

int RunDownload(const DownloadOptions& options) {
    std::ifstream loader;
    if (!options.loader.empty()) {
        loader.open(options.loader, std::ios::binary);
        if (!loader) {
            std::cerr << "Cannot read the loader " << options.loader << ".\n";
            return kExitUsage;  // a file refused
        }
    }
    std::ifstream image(options.dsp.empty() ? options.code : options.dsp, std::ios::binary);
    if (!image) {
        std::cerr << "Cannot read " << (options.dsp.empty() ? options.code : options.dsp) << ".\n";
        return kExitUsage;
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

    TerminalProgressBar report(pump);
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
    report.Finish();
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
    AddPortOption(*command, options->port);
    command->add_option("--loader", options->loader, "RAM loader, S-record file")
        ->check(CLI::ExistingFile);
    command->add_option("--code", options->code, "code image, S-record file")
        ->check(CLI::ExistingFile);
    command->add_option("--dsp", options->dsp, "DSP program, COFF file (sent after the loader)")
        ->check(CLI::ExistingFile);
    AddRadioTypeOption(*command, options->radioType, "radio type code, selecting the erase wait");
    command->add_flag("--low-speed", options->lowSpeed, "stay at 19200 bit/s");
    command->footer(ExitCodesFooter(
        "download: 2 also for a file that is not a whole image (then nothing is sent)."));
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
