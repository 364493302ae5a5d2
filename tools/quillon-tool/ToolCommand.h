#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "serial/CancelFlag.h"

namespace quillon::tool {

// Adds one sub-command (with its options and callback) to the tool. The callback stores the
// process exit code in `exitCode`.
using CommandRegistrar = std::function<void(CLI::App& app, int& exitCode)>;

// Called from a static initialiser in each command's file; returns true.
bool RegisterToolCommand(CommandRegistrar registrar);

// The flag SIGINT, SIGTERM and SIGHUP cancel: every wait of a command watches it, so a signal
// ends the command as its own failure does (the link closed, files removed) and the tool then
// exits with kExitInterrupted.
CancelFlag& ToolCancel();
// The descriptor a stop signal makes readable (-1 until the signals are installed): an event
// loop that goes on sleeping after an interrupted system call watches it to wake.
int& ToolStopFd();

// The exit codes of every command (identify gives its three verdicts instead, see its help).
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;  // the radio or the transfer failed or refused
constexpr int kExitUsage = 2;   // a usage error or a file refused
constexpr int kExitInterrupted = 130;
// The convention as every help page states it, followed by the command's own `details`.
std::string ExitCodesFooter(const std::string& details = "");

}  // namespace quillon::tool
