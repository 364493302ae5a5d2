// `quillon-tool info --port PORT [--radio-type CODE]`: reads the connected radio's versions
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
#include "tools/quillon-tool/ToolOptions.h"

namespace quillon::tool {
namespace {

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
        std::cerr << kCommunicationError << "\n" << connection.NoAnswerHint() << "\n";
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
    return kExitDone;
}

void AddInfoCommand(CLI::App& app, int& exitCode) {
    CLI::App* info = app.add_subcommand(
        "info", "Read the connected radio's versions and serial number (19200 bit/s)");
    auto options = std::make_shared<InfoOptions>();
    AddPortOption(*info, options->port);
    AddRadioTypeOption(*info, options->radioType, "radio type code of the build");
    info->add_flag("--json", options->json,
                   "print the findings as one JSON object (fields named after the lines)");
    info->footer(ExitCodesFooter(
        "info: 1 when the port does not open or the radio does not answer (what to check is "
        "printed)."));
    info->callback([options, &exitCode] { exitCode = RunInfo(*options); });
}

[[maybe_unused]] const bool kRegistered = RegisterToolCommand(AddInfoCommand);

}  // namespace
}  // namespace quillon::tool
