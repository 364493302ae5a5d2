#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace quillon::tool {

// Adds one sub-command (with its options and callback) to the tool. The callback stores the
// process exit code in `exitCode`.
using CommandRegistrar = std::function<void(CLI::App& app, int& exitCode)>;

// Called from a static initialiser in each command's file; returns true.
bool RegisterToolCommand(CommandRegistrar registrar);

}  // namespace quillon::tool
