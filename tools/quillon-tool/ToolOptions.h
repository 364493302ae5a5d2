#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace quillon::tool {

// Options several commands share, described the same way in each help page.

// --port (required): a COM number (7, COM7, com7) or a device path.
CLI::Option* AddPortOption(CLI::App& command, std::string& port);

// --radio-type (default 0), checked against the known codes, each named in the help.
CLI::Option* AddRadioTypeOption(CLI::App& command, int& radioType, const std::string& purpose);

}  // namespace quillon::tool
