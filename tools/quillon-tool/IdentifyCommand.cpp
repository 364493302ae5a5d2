// `quillon-tool identify --port N|PATH`: connects to the radio as an update does, reads its
// versions, and runs this build's checks on it (type and series, boot version, portable or
// mobile), printing the version panel and the verdict in the updater's own words.

#include <CLI/CLI.hpp>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "app/core/BuildLabels.h"
#include "app/core/ResourceTable.h"
#include "app/core/TargetRadioCheck.h"
#include "app/core/Updater.h"
#include "link/RadioQueries.h"
#include "link/VersionInfoText.h"
#include "tools/quillon-tool/JsonFindings.h"
#include "tools/quillon-tool/ToolCommand.h"
#include "tools/quillon-tool/ToolConnection.h"
#include "tools/quillon-tool/ToolOptions.h"
#include "tools/quillon-tool/ToolView.h"

namespace quillon::tool {
namespace {

constexpr int kExitMayUpdate = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUnreadable = 2;

constexpr char kVersionError[] = "Communication error while retrieving version information.";

// With --json the findings are kept here and printed as one object at the end; standard output
// meanwhile goes to `gShown` (the texts the checks show through the view).
JsonFindings* gJson = nullptr;
std::ostringstream* gShown = nullptr;

void PrintLine(const std::string& heading, const std::string& value) {
    if (gJson != nullptr) {
        gJson->Add(heading, value);
        return;
    }
    std::cout << std::left << std::setw(32) << heading << value << "\n";
}

// One finding: on the heading's line, or below it when the text has several lines.
void Report(const std::string& heading, const std::string& text) {
    if (gJson != nullptr) {
        gJson->Add(heading, text);
    } else if (text.find('\n') == std::string::npos) {
        PrintLine(heading, text);
    } else {
        std::cout << heading << "\n" << text << "\n";
    }
}

void PrintVerdict(const std::string& text) {
    if (gJson != nullptr) {
        gJson->Add("Verdict", text);
    } else {
        std::cout << "Verdict: " << text << "\n";
    }
}

std::string Version(uint32_t major, uint32_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

// The checks on a connected radio; returns the exit code. The port is called connected once
// the radio has answered.
int RunChecks(ToolConnection& connection, ToolView& view, const ResourceAttributes& a,
              uint8_t radioType) {
    CommSession& session = connection.Session();
    VersionInfo info;
    const int read = ReadVersionInfo(session, radioType, info, true);
    if (read != kReplyReceived && read != kQueryNoBootVersion && read != kQuerySemFailed) {
        std::cout << "\n" << kVersionError << "\n";
        std::cerr << connection.NoAnswerHint() << "\n";
        return kExitUnreadable;
    }
    std::cout << "\n"
              << connection.PortName() << ": connected"
              << (connection.UsedPortMode() ? " in port mode" : "") << "\n\n";
    for (const VersionInfoLine& line : FormatVersionInfo(info, radioType)) {
        PrintLine(line.heading, line.value);
    }
    std::cout << "\n";
    bool refused = false;
    bool unreadable = false;

    // The target check tells its refusals through the view (a box, or the status line).
    std::cout << "Target radio:\n";
    const int boxesBefore = view.boxes;
    const std::size_t shownBefore = gShown != nullptr ? gShown->str().size() : 0;
    if (TargetRadioCheck::CheckTargetRadio(session, view, a, radioType)) {
        std::cout << "matches this build\n";
    } else if (view.boxes > boxesBefore) {
        refused = true;
    } else {
        unreadable = true;
    }
    if (gJson != nullptr) {
        std::string shown = gShown->str().substr(shownBefore);
        while (!shown.empty() && shown.back() == '\n') {
            shown.pop_back();
        }
        gJson->Add("Target radio", shown);
    }

    session.SetActive(true);
    bool majorMismatch = false;
    bool commError = false;
    bool formMismatch = false;
    bool useBootTwo = false;
    const bool upgrade = TargetRadioCheck::CheckBootVersionAuto(
        session, a, radioType, majorMismatch, commError, formMismatch, useBootTwo);
    if (commError) {
        Report("Boot version:", TargetRadioCheck::kBootCommError);
        unreadable = true;
    } else if (majorMismatch) {
        Report("Boot version:", TargetRadioCheck::kMajorMismatch);
        refused = true;
    } else if (formMismatch) {
        Report("Boot version:", "of the build's generation (the kind check refuses the radio)");
    } else if (upgrade) {
        const std::string to = useBootTwo ? Version(a.BootTwoMajor, a.BootTwoMinor)
                                          : Version(a.BootMajor, a.BootMinor);
        Report("Boot version:", "will be upgraded to " + to + " before the application code");
    } else {
        Report("Boot version:", TargetRadioCheck::kBootCurrent);
    }

    bool kindMismatch = formMismatch;
    if (commError || majorMismatch) {
        // The boot check stopped before asking: ask on its own.
        session.SetActive(true);
        const uint8_t expected = a.RadioModel == 0 ? 1 : 0;
        TargetRadioCheck::CheckPortableMobile(session, expected, kindMismatch);
    }
    if (kindMismatch) {
        Report("Portable or mobile:", TargetRadioCheck::FormMismatchText(a.RadioModel));
        refused = true;
    } else {
        Report("Portable or mobile:", "the right kind, or no answer");
    }

    std::cout << "\n";
    if (unreadable) {
        PrintVerdict("the radio could not be read completely.");
        return kExitUnreadable;
    }
    if (refused) {
        PrintVerdict("this build refuses the radio.");
        return kExitRefused;
    }
    PrintVerdict("this build may update the radio.");
    return kExitMayUpdate;
}

int RunIdentify(const std::string& portText) {
    ToolView view;
    ToolConnection connection(portText, &view);
    Updater& updater = connection.Assembly();
    if (!updater.HasAttributes()) {
        std::cerr << "This program carries no build record.\n";
        return kExitUnreadable;
    }
    const ResourceAttributes& a = updater.Attributes();
    const uint8_t radioType = updater.RadioType();
    BuildLabels::SetupNameLabels(view, EmbeddedProgramName());
    PrintLine("Build:",
              view.name.substr(view.name.find(' ') + 1) + " (Release " + view.release + ")");
    PrintLine("Intended target radio:", view.target.model + ", series " + view.target.series +
                                            ", " + view.target.upgradeType + ", boot " +
                                            Version(a.BootMajor, a.BootMinor) +
                                            ", radio type code " + std::to_string(radioType));
    PrintLine("Corresponding Tessera Version:", view.target.tesseraVersion);
    PrintLine("Corresponding Vernier Version:", view.target.vernierVersion);

    connection.Session().SetCancelFlag(&ToolCancel());
    const ToolConnection::Result open = connection.Open(false);
    if (open == ToolConnection::Result::kBadPort) {
        std::cerr << connection.Error() << "\n";
        return kExitUsage;
    }
    if (open != ToolConnection::Result::kOpen) {
        // The updater's own words went to the view; the port's story goes with them.
        std::cerr << connection.PortProblem() << "\n";
        return kExitUnreadable;
    }
    if (gJson != nullptr) {
        gJson->Object()["port"] = connection.PortName();
        gJson->Object()["port_mode"] = connection.UsedPortMode();
    }
    const int result = RunChecks(connection, view, a, radioType);
    updater.Connection().CloseAndFree();
    std::cout.flush();
    return result;
}

// --json: the checks run as for the text, which goes to a buffer, and the findings are printed
// as one object (with the exit code, so that a script needs nothing else).
int RunIdentifyJson(const std::string& portText) {
    JsonFindings findings;
    std::ostringstream shown;
    gJson = &findings;
    gShown = &shown;
    std::streambuf* const out = std::cout.rdbuf(shown.rdbuf());
    const int result = RunIdentify(portText);
    std::cout.rdbuf(out);
    gJson = nullptr;
    gShown = nullptr;
    findings.Object()["exit_code"] = result;
    findings.Print(std::cout);
    return result;
}

void AddIdentifyCommand(CLI::App& app, int& exitCode) {
    CLI::App* identify = app.add_subcommand(
        "identify", "Connect as an update does and check the radio against this build");
    auto port = std::make_shared<std::string>();
    AddPortOption(*identify, *port);
    auto json = std::make_shared<bool>(false);
    identify->add_flag("--json", *json, "print the findings as one JSON object");
    identify->footer(
        "Exit codes: identify gives one of three verdicts instead of 0 done / 1 failed:\n"
        "0 this build may update the radio; 1 this build refuses it (the reason is printed);\n"
        "2 the radio could not be read (the port did not open, or the radio did not answer),\n"
        "or a usage error; 130 interrupted.");
    identify->callback([port, json, &exitCode] {
        exitCode = *json ? RunIdentifyJson(*port) : RunIdentify(*port);
    });
}

[[maybe_unused]] const bool kRegistered = RegisterToolCommand(AddIdentifyCommand);

}  // namespace
}  // namespace quillon::tool
