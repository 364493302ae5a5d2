#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/ConsoleWindow.h"

namespace quillon {

// The port of a command-line run: COM n, or on this system also a device path.
struct ConsolePort {
    int number = 0;    // COM number; 0 when a device path was given
    std::string path;  // the device path when given directly

    // As the console title shows it: "COM 7", or the path.
    std::string Label() const;
};

// The command-line mode: the options, the console and its texts, the return code.
class CommandLine {
public:
    struct Hooks {
        // Whether the port exists and can be opened now (nobody else holds it).
        std::function<bool(const ConsolePort&)> portAvailable;
        // Runs the update with automatic boot handling against the port, with its texts going
        // to the console, then closes the link and frees the port.
        std::function<void(const ConsolePort&)> runUpdate;
        // SetReturnCode.
        std::function<void(int)> setReturnCode;
        // A pause before the console is minimised.
        std::function<void(int ms)> sleepMs;
    };

    static constexpr char kTitle[] = "Quillon Code Updater";

    // The usage text for a program file named `programName` (no folder).
    static std::string UsageText(const std::string& programName);

    // A decimal whole number (a COM number, which may still be out of range) or an absolute
    // device path; nothing for anything else.
    static std::optional<ConsolePort> ParsePort(const std::string& text);

    // RunCommandLine with the arguments after the program name (at least one).
    static void Run(const std::vector<std::string>& args, const std::string& programName,
                    ConsoleWindow& console, const Hooks& hooks);
};

}  // namespace quillon
