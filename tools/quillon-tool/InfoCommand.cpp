// `quillon-tool info --port N|PATH [--radio-type CODE]`: reads the connected radio's versions
// and serial number over a low-speed link, opened as the window's Retrieve button opens it, and
// prints the seven lines of the version panel.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>

#include "link/Comm.h"
#include "link/RadioQueries.h"
#include "link/VersionInfoText.h"
#include "tools/quillon-tool/JsonFindings.h"
#include "tools/quillon-tool/ToolCommand.h"
#include "tools/quillon-tool/ToolConnection.h"

namespace quillon::tool {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr char kCommunicationError[] = "Communication error while retrieving version information.";

struct InfoOptions {
    std::string port;
    int radioType = 0;
    bool json = false;
};

int RunInfo(const InfoOptions& options) {
    ToolConnection connection(options.port);
    connection.Session().SetCancelFlag(&ToolCancel());
    if (const int failed = connection.Open(true, std::cerr)) {
        return failed;
    }
    CommSession& session = connection.Session();

    VersionInfo info;
    const int status =
        ReadVersionInfo(session, static_cast<uint8_t>(options.radioType), info, true);
    session.Close();
    if (status != kReplyReceived && status != kQueryNoBootVersion && status != kQuerySemFailed) {
        std::cerr << kCommunicationError << "\n";
        return kExitFailed;
    }
    JsonFindings findings;
    findings.Object()["port"] = connection.PortName();
    for (const VersionInfoLine& line :
         FormatVersionInfo(info, static_cast<uint8_t>(options.radioType))) {
        if (options.json) {
            findings.Add(line.heading, line.value);
        } else {
            std::cout << std::left << std::setw(22) << line.heading << line.value << "\n";
        }
    }
    if (options.json) {
        findings.Print(std::cout);
    }
    std::cout.flush();
    return kExitOk;
}

void AddInfoCommand(CLI::App& app, int& exitCode) {
    CLI::App* info = app.add_subcommand(
        "info", "Read the connected radio's versions and serial number (19200 bit/s)");
    auto options = std::make_shared<InfoOptions>();
    info->add_option("--port", options->port, "COM number (1-255) or device path")->required();
    info->add_option("--radio-type", options->radioType,
                     "radio type code of the build: 0 (6700 series 6), 1, 4, 5, 6, 7 or 8")
        ->check(CLI::IsMember({0, 1, 4, 5, 6, 7, 8}))
        ->capture_default_str();
    info->add_flag("--json", options->json,
                   "print the findings as one JSON object (fields named after the lines)");
    info->footer(
        "Exit codes: 0 the version information was read; 1 the port did not open or the radio "
        "did not answer;\n2 usage error.");
    info->callback([options, &exitCode] { exitCode = RunInfo(*options); });
}

[[maybe_unused]] const bool kRegistered = RegisterToolCommand(AddInfoCommand);

}  // namespace
}  // namespace quillon::tool
