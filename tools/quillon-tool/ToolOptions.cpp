#include "tools/quillon-tool/ToolOptions.h"

#include "tools/quillon-tool/ToolCommand.h"

namespace quillon::tool {

std::string ExitCodesFooter(const std::string& details) {
    std::string text =
        "Exit codes: 0 done; 1 the radio or the transfer failed or refused; 2 usage error or a "
        "file refused;\n130 interrupted.";
    return details.empty() ? text : text + "\n" + details;
}

CLI::Option* AddPortOption(CLI::App& command, std::string& port) {
    return command
        .add_option("--port", port, "COM number: 7, COM7 or com7 (1-255); or a device path")
        ->option_text("PORT")
        ->required();
}

CLI::Option* AddRadioTypeOption(CLI::App& command, int& radioType, const std::string& purpose) {
    return command
        .add_option("--radio-type", radioType,
                    purpose +
                        " (default 0):\n0 6700 series 6, 1 6900 series 1, 4 6700 other series,\n"
                        "5 6900 other series, 6 6700 series 4, 7 6900 series 4, 8 6900 series 6")
        ->option_text("CODE")
        ->check(CLI::IsMember({0, 1, 4, 5, 6, 7, 8}));
}

}  // namespace quillon::tool
