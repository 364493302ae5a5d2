#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/core/InterruptSignals.h"
#include "serial/TraceFile.h"
#include "tools/quillon-tool/ArgumentErrors.h"
#include "tools/quillon-tool/ToolCommand.h"
#include "tools/quillon-tool/ToolHelpFormatter.h"
#include "tools/quillon-tool/ToolVersion.h"

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

// Help pages list sub-commands under "Commands:".
static void ListAsCommands(CLI::App& app) {
    for (CLI::App* command : app.get_subcommands({})) {
        command->group("Commands");
        ListAsCommands(*command);
    }
}

}  // namespace quillon::tool

int main(int argc, char** argv) {
    // Named here, so that help pages show the program's name rather than the path it ran from.
    CLI::App app{
        "Quillon Code Updater companion tool: COM ports, radio information, codeplug files",
        "quillon-tool"};
    app.formatter(std::make_shared<quillon::tool::ToolHelpFormatter>());
    app.require_subcommand(1);
    // Options of the tool itself (--trace) are taken after a command's name as well.
    app.fallthrough();
    app.set_version_flag("--version", quillon::tool::ToolVersionText(),
                         "Print the release, build profile and build id, and exit");
    app.footer(quillon::tool::ExitCodesFooter());
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
        return quillon::tool::kExitFailed;
    }
    signals->Watch(&quillon::tool::ToolCancel());
    quillon::tool::ToolStopFd() = signals->Fd();
    int exitCode = 0;
    for (auto& registrar : quillon::tool::Registrars()) {
        registrar(app, exitCode);
    }
    quillon::tool::ListAsCommands(app);
    if (!quillon::TraceFile::InstallFromEnvironment(traceError)) {
        std::cerr << traceError << "\n";
        return quillon::tool::kExitUsage;  // a trace file refused, as with --trace
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            return app.exit(e);  // --help, --version
        }
        std::cerr << quillon::tool::ArgumentErrors::Explain(app, e);
        return quillon::tool::kExitUsage;
    }
    return quillon::InterruptSignals::Pending() ? quillon::tool::kExitInterrupted : exitCode;
}
