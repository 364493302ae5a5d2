// `quillon-tool fleet --ports 7,8,9|all [--jobs N] [--report FILE] [--password-file FILE]`:
// updates a rack of radios, each with this build's own `quillon-updater /d /sp N /c` in a private
// working folder, at most N at a time; shows each radio's step while they run, then a table of
// what each radio had before and after, its return code and backup. Exit code: the worst of the
// radios' return codes, in the order 1 > 3 > 2 > 0.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/core/UpdateLog.h"
#include "serial/ComPortPath.h"
#include "tools/quillon-tool/FleetReport.h"
#include "tools/quillon-tool/FleetRunner.h"
#include "tools/quillon-tool/ToolCommand.h"
#include "tools/quillon-tool/ToolConnection.h"
#include "tools/quillon-tool/ToolView.h"

namespace quillon::tool {
namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailed = 1;
constexpr char kUpdaterVariable[] = "QUILLON_UPDATER";
constexpr char kUpdaterName[] = "quillon-updater";

struct FleetOptions {
    std::string ports;
    int jobs = 0;
    std::string report;
    std::string passwordFile;
};

// "7,8,9" or "all" (every present COM port; marked so that silent ones are skipped). False with
// `error` set for anything else.
bool ParsePorts(const std::string& text, std::vector<FleetRadio>& radios, std::string& error) {
    if (text == "all") {
        for (const ComPortPath::PortInfo& port : ComPortPath::Enumerate()) {
            FleetRadio radio;
            radio.port = port.number;
            radio.fromAll = true;
            radios.push_back(std::move(radio));
        }
        return true;
    }
    std::set<int> seen;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string word = text.substr(start, end - start);
        const bool digits = !word.empty() && word.size() <= 3 &&
                            word.find_first_not_of("0123456789") == std::string::npos;
        const int number = digits ? std::stoi(word) : 0;
        if (number < ComPortPath::kFirst || number > ComPortPath::kLast) {
            error =
                "--ports: expected COM numbers from 1 to 255 separated by commas, or all; got \"" +
                word + "\".";
            return false;
        }
        if (!seen.insert(number).second) {
            error = "--ports: COM" + word + " is named twice.";
            return false;
        }
        FleetRadio radio;
        radio.port = number;
        radios.push_back(std::move(radio));
        start = end + 1;
    }
    return true;
}

// The updater of this build: $QUILLON_UPDATER, else beside this program (installed), else in the
// build tree (tools/quillon-tool beside app/quillon-updater). Empty when none is found.
std::string FindUpdater(const std::filesystem::path& self) {
    const char* given = std::getenv(kUpdaterVariable);
    if (given != nullptr && given[0] != '\0') {
        // The updaters start in folders of their own: a relative name would not be found there.
        std::error_code failure;
        const std::filesystem::path absolute = std::filesystem::absolute(given, failure);
        return failure ? std::string() : absolute.string();
    }
    const std::filesystem::path folder = self.parent_path();
    for (const std::filesystem::path& candidate :
         {folder / kUpdaterName, folder.parent_path() / "app" / kUpdaterName}) {
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return {};
}

// An absolute path (the updaters run in folders of their own) to a file that can be read; the
// updater itself checks who else may read it.
bool CheckPasswordFile(std::string& path, std::string& error) {
    std::error_code failure;
    const std::filesystem::path absolute = std::filesystem::absolute(path, failure);
    if (failure || !std::filesystem::is_regular_file(absolute, failure) ||
        ::access(absolute.c_str(), R_OK) != 0) {
        error = "--password-file: \"" + path + "\" is not a file that can be read.";
        return false;
    }
    path = absolute.string();
    return true;
}

// The report is written at the end: a place where it cannot be written is found out first.
bool CheckReportFile(const std::string& path, std::string& error) {
    const std::string probe = path + ".part";
    std::ofstream out(probe, std::ios::app);
    if (!out) {
        error = "--report: cannot write \"" + path + "\".";
        return false;
    }
    out.close();
    ::unlink(probe.c_str());
    return true;
}

int RunFleet(const FleetOptions& options) {
    std::vector<FleetRadio> radios;
    std::string error;
    std::string passwordFile = options.passwordFile;
    if (!ParsePorts(options.ports, radios, error) ||
        (!passwordFile.empty() && !CheckPasswordFile(passwordFile, error)) ||
        (!options.report.empty() && !CheckReportFile(options.report, error))) {
        std::cerr << error << "\n";
        return kExitUsage;
    }
    if (radios.empty()) {
        std::cerr << "No COM ports found.\n";
        return kExitFailed;
    }
    std::error_code failure;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failure);
    const std::string updater = failure ? std::string() : FindUpdater(self);
    if (updater.empty()) {
        std::cerr << "Cannot find " << kUpdaterName << " beside this program or in the build; set $"
                  << kUpdaterVariable << " to it.\n";
        return kExitFailed;
    }

    // The build's target radio: the model and series each radio is updated to.
    ToolView labels;
    ToolConnection build("1", &labels);
    for (FleetRadio& radio : radios) {
        radio.model = labels.target.model;
        radio.series = labels.target.series;
    }

    FleetPrograms programs{self.string(), updater, build.Assembly().RadioType(), passwordFile,
                           UpdateLog::DefaultPath()};
    const int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(radios.size());
    FleetDisplay display(stdout, ::isatty(STDOUT_FILENO) == 1);
    FleetRunner runner(programs, jobs, ToolStopFd(), display);
    const auto started = std::chrono::system_clock::now();
    runner.Run(radios);
    const auto ended = std::chrono::system_clock::now();

    std::cout << "\n";
    FleetReport::PrintTable(std::cout, radios);
    const int exitCode = FleetReport::ExitCode(radios);
    if (!options.report.empty() &&
        !FleetReport::Write(options.report, FleetReport::Json(radios, started, ended), error)) {
        std::cerr << "--report: " << error << "\n";
        return kExitFailed;
    }
    return exitCode;
}

void AddFleetCommand(CLI::App& app, int& exitCode) {
    CLI::App* fleet = app.add_subcommand(
        "fleet", "Update the radios on several COM ports, each with this build's updater");
    auto options = std::make_shared<FleetOptions>();
    fleet->add_option("--ports", options->ports, "COM numbers separated by commas, or all")
        ->required();
    fleet->add_option("--jobs", options->jobs, "at most this many updates at a time (default: all)")
        ->check(CLI::Range(1, 255));
    fleet->add_option("--report", options->report, "write the results to FILE as JSON")
        ->option_text("FILE");
    fleet
        ->add_option("--password-file", options->passwordFile,
                     "answer a codeplug password request from the first line of FILE "
                     "(QUILLON_CODEPLUG_PASSWORD_FILE of each update)")
        ->option_text("FILE");
    fleet->footer(
        "Each update runs as quillon-updater /d /sp N /c in a private working folder ($" +
        std::string(kUpdaterVariable) +
        " names another updater).\nall: every present COM port; those that do not answer the "
        "version query are skipped.\nExit codes: 0 every radio returned 0; otherwise the worst "
        "return code in the order 1 > 3 > 2\n(1 also when a radio was not run or the report "
        "could not be written); 2 usage error; 130 stopped.");
    fleet->callback([options, &exitCode] { exitCode = RunFleet(*options); });
}

[[maybe_unused]] const bool kRegistered = RegisterToolCommand(AddFleetCommand);

}  // namespace
}  // namespace quillon::tool
