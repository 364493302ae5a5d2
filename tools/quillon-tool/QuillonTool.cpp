#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/core/InterruptSignals.h"
#include "serial/TraceFile.h"

#include "tools/quillon-tool/ToolCommand.h"

namespace quillon::tool {

static std::vector<CommandRegistrar>& Registrars() {
    static std::vector<CommandRegistrar> registrars;
    return registrars;
}

CancelFlag& ToolCancel() {
    static CancelFlag flag;
    return flag;
}

int& ToolStopFd() {
    static int fd = -1;
    return fd;
}

bool RegisterToolCommand(CommandRegistrar registrar) {
    Registrars().push_back(std::move(registrar));
    return true;
}

// The word on the command line that stands where a sub-command is required but names none;
// empty when there is no such word (CLI11 then explains the error itself).
static std::string UnknownCommand(CLI::App& app, int argc, char** argv, std::string& known) {
    CLI::App* level = &app;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.empty() || word.front() == '-') {
            return {};
        }
        CLI::App* sub = nullptr;
        try {
            sub = level->get_subcommand(word);
        } catch (const CLI::OptionNotFound&) {
        }
        if (sub == nullptr) {
            if (level->get_require_subcommand_min() == 0) {
                return {};
            }
            for (const CLI::App* command : level->get_subcommands({})) {
                known += (known.empty() ? "" : ", ") + command->get_name();
            }
            return word;
        }
        level = sub;
    }
    return {};
}

}  // namespace quillon::tool

int main(int argc, char** argv) {
    CLI::App app{
        "Quillon Code Updater companion tool: COM ports, radio information, codeplug files"};
    app.require_subcommand(1);
    // The trace must be on before a command runs: the option installs it as soon as it is read.
    std::string traceError;
    app.add_option_function<std::string>(
           "--trace",
           [](const std::string& path) {
               std::string error;
               if (!quillon::TraceFile::Install(path, error)) {
                   throw CLI::ValidationError("--trace", error);
               }
           },
           std::string("Append a protocol trace to FILE (as $") + quillon::TraceFile::kVariable +
               "=FILE does)")
        ->option_text("FILE")
        ->trigger_on_parse();
    std::string signalError;
    const std::unique_ptr<quillon::InterruptSignals> signals =
        quillon::InterruptSignals::Install(signalError);
    if (signals == nullptr) {
        std::cerr << signalError << "\n";
        return 1;
    }
    signals->Watch(&quillon::tool::ToolCancel());
    quillon::tool::ToolStopFd() = signals->Fd();
    int exitCode = 0;
    for (auto& registrar : quillon::tool::Registrars()) {
        registrar(app, exitCode);
    }
    if (!quillon::TraceFile::InstallFromEnvironment(traceError)) {
        std::cerr << traceError << "\n";
        return 1;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        std::string known;
        const std::string unknown = quillon::tool::UnknownCommand(app, argc, argv, known);
        if (!unknown.empty()) {
            std::cerr << "error: unknown command '" << unknown << "' (commands: " << known
                      << ")\nRun with --help for more information.\n";
            return 2;
        }
        const int rc = app.exit(e);
        // Usage errors are exit code 2, as for every command of the tool.
        return rc == 0 ? 0 : 2;
    }
    return quillon::InterruptSignals::Pending() ? quillon::tool::kExitInterrupted : exitCode;
}
