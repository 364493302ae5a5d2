#pragma once

#include <CLI/CLI.hpp>

namespace quillon::tool {

// Adds `read` (back up the radio's codeplug to a file) and `write` (write a file into the
// radio) to the `codeplug` command.
void AddCodeplugTransferCommands(CLI::App& codeplug, int& exitCode);

}  // namespace quillon::tool
