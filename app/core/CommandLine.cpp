#include "app/core/CommandLine.h"

#include <cerrno>
#include <cstdlib>

#include "link/ProtocolTiming.h"

namespace quillon {

namespace {

const std::string kConsoleTitle = std::string(CommandLine::kTitle) + " Console";
constexpr int kPortLimit = 256;  // port numbers below this one may name a port

std::string Argument(const std::vector<std::string>& args, std::size_t k) {
    return k >= 1 && k <= args.size() ? args[k - 1] : std::string();
}

}  // namespace

std::string ConsolePort::Label() const {
    return path.empty() ? "COM " + std::to_string(number) : path;
}

std::string CommandLine::UsageText(const std::string& programName) {
    std::string text = "Usage: " + programName + "\n\t";
    text += "/?\t\t\t\t\t\t- Help\n";
    text += "\t/d /sp PortNumber /c /m\t\t\t\t- Download code\n";
    text += "\nThe /c option (close on finish) is not required and defaults to \"No\".";
    text += "\nThe /m option (minimize during run) is not required and defaults to \"No\".";
    text += "\nIf both options are specified, the /c option should be specified first.\n";
    text += "\nFor download, batch programs can use the return code to determine the status:";
    text += "\n\t0 = Success.";
    text += "\n\t1 = General error.";
    text += "\n\t2 = Bootloader code needed upgraded.";
    text += "\n\t3 = Codeplug conversion error (Application code successfully upgraded).";
    return text;
}

std::optional<ConsolePort> CommandLine::ParsePort(const std::string& text) {
    if (!text.empty() && text[0] == '/') {
        ConsolePort port;
        port.path = text;
        return port;
    }
    std::size_t digits = text.size() > 0 && text[0] == '-' ? 1 : 0;
    if (digits == text.size()) {
        return std::nullopt;
    }
    for (std::size_t i = digits; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
    }
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < -2147483647L - 1 || value > 2147483647L) {
        return std::nullopt;
    }
    ConsolePort port;
    port.number = static_cast<int>(value);
    return port;
}

void CommandLine::Run(const std::vector<std::string>& args, const std::string& programName,
                      ConsoleWindow& console, const Hooks& hooks) {
    const std::size_t n = args.size();
    const std::string usage = UsageText(programName);
    hooks.setReturnCode(0);
    bool opened = false;
    bool closeOnFinish = false;
    bool minimise = false;

    // A refusal: the console with one text and return code 1.
    auto refuse = [&](const char* text) {
        if (console.Open(kConsoleTitle)) {
            console.Write(text);
            hooks.setReturnCode(1);
            opened = true;
        }
    };

    if (Argument(args, 1) == "/?") {
        if (console.Open(kConsoleTitle)) {
            console.Write(usage);
            opened = true;
        }
    } else if (Argument(args, 1) != "/d") {
        refuse("Invalid command line options.\n");
    } else if (Argument(args, 2) != "/sp") {
        refuse("Invalid command line options (Need COM Port option).\n");
    } else {
        const std::optional<ConsolePort> port = ParsePort(Argument(args, 3));
        const bool valid = port && (!port->path.empty() || port->number < kPortLimit) &&
                           hooks.portAvailable(*port);
        if (!valid) {
            refuse("Invalid command line options (Need valid/available COM Port number).\n");
            if (opened && n > 3 && Argument(args, 4) == "/c") {
                closeOnFinish = true;
            }
        } else {
            if (n > 3) {
                if (Argument(args, 4) == "/c") {
                    closeOnFinish = true;
                    if (n > 4 && Argument(args, 5) == "/m") {
                        minimise = true;
                    }
                } else if (Argument(args, 4) == "/m") {
                    minimise = true;
                }
            }
            const std::string title = kConsoleTitle + " [" + port->Label() + "]";
            if (console.Open(title)) {
                opened = true;
                if (minimise) {
                    hooks.sleepMs(timing::kConsoleMinimiseWaitMs);
                    console.Minimise(title);
                }
                hooks.runUpdate(*port);
            }
        }
    }
    if (opened && !closeOnFinish) {
        console.Write("\n\nPress <ENTER> to close.");
        console.WaitForEnter();
    }
    if (opened) {
        console.Close();
    }
}

}  // namespace quillon
