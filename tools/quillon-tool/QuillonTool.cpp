#include <CLI/CLI.hpp>
#include <vector>

#include "tools/quillon-tool/ToolCommand.h"

namespace quillon::tool {

static std::vector<CommandRegistrar>& Registrars() {
    static std::vector<CommandRegistrar> registrars;
    return registrars;
}

bool RegisterToolCommand(CommandRegistrar registrar) {
    Registrars().push_back(std::move(registrar));
    return true;
}

}  // namespace quillon::tool

int main(int argc, char** argv) {
    CLI::App app{
        "Quillon Code Updater companion tool: COM ports, radio information, codeplug files"};
    app.require_subcommand(1);
    int exitCode = 0;
    for (auto& registrar : quillon::tool::Registrars()) {
        registrar(app, exitCode);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        // Usage errors are exit code 2, as for every command of the tool.
        return rc == 0 ? 0 : 2;
    }
    return exitCode;
}
