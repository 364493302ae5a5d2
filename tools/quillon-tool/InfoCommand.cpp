// `quillon-tool info --port N|PATH [--radio-type CODE]`: reads the connected radio's versions
// and serial number over a low-speed device-mode link, as the window's Retrieve button does,
// and prints the seven lines of the version panel.

#include <stdlib.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>

#include "link/Comm.h"
#include "link/RadioQueries.h"
#include "link/VersionInfoText.h"
#include "serial/ComPortPath.h"
#include "serial/PollEventPump.h"
#include "tools/quillon-tool/ToolCommand.h"

namespace quillon::tool {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr char kCommunicationError[] = "Communication error while retrieving version information.";

struct InfoOptions {
    std::string port;
    int radioType = 0;
};

// Makes a device path reachable as a COM number: a private COM directory whose com1 leads to
// the path, for as long as the object lives.
class PublishedPath {
public:
    PublishedPath() = default;
    PublishedPath(const PublishedPath&) = delete;
    PublishedPath& operator=(const PublishedPath&) = delete;
    ~PublishedPath() {
        if (!link_.empty()) {
            ::unlink(link_.c_str());
        }
        if (!dir_.empty()) {
            ::rmdir(dir_.c_str());
        }
    }

    // The COM number that now names `path`, or 0 when it could not be published.
    int Publish(const std::string& path) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/quillon-info-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            return 0;
        }
        dir_ = pattern;
        const std::string link = dir_ + "/com1";
        if (::symlink(path.c_str(), link.c_str()) != 0) {
            return 0;
        }
        link_ = link;
        if (::setenv(ComPortPath::kDirVariable, dir_.c_str(), 1) != 0) {
            return 0;
        }
        return 1;
    }

private:
    std::string dir_;
    std::string link_;
};

// The COM number of a --port argument: a number from 1 to 255, or 0.
int ParsePortNumber(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    const int n = std::stoi(text);
    return n >= ComPortPath::kFirst && n <= ComPortPath::kLast ? n : 0;
}

int RunInfo(const InfoOptions& options) {
    PublishedPath published;
    int portNumber = 0;
    if (options.port.find('/') != std::string::npos) {
        portNumber = published.Publish(options.port);
        if (portNumber == 0) {
            std::cerr << "Cannot reach " << options.port << " as a COM port.\n";
            return kExitFailed;
        }
    } else {
        portNumber = ParsePortNumber(options.port);
        if (portNumber == 0) {
            std::cerr << "--port: expected a COM number from 1 to 255 or a device path, got \""
                      << options.port << "\".\n";
            return kExitUsage;
        }
    }

    PollEventPump pump;
    CommSession session(pump);
    std::unique_ptr<Timer> timer = pump.CreateTimer();
    session.UseTimeoutTimer(*timer);

    std::string error;
    if (!session.StartCommunication(portNumber, 19200, false, error)) {
        session.Close();
        std::cerr << error << "\n";
        return kExitFailed;
    }
    session.SetFraming(1);
    session.SetActive(true);

    VersionInfo info;
    const int status =
        ReadVersionInfo(session, static_cast<uint8_t>(options.radioType), info, true);
    session.Close();
    if (status != kReplyReceived && status != kQueryNoBootVersion && status != kQuerySemFailed) {
        std::cerr << kCommunicationError << "\n";
        return kExitFailed;
    }
    for (const VersionInfoLine& line :
         FormatVersionInfo(info, static_cast<uint8_t>(options.radioType))) {
        std::cout << std::left << std::setw(22) << line.heading << line.value << "\n";
    }
    std::cout.flush();
    return kExitOk;
}

void AddInfoCommand(CLI::App& app, int& exitCode) {
    CLI::App* info = app.add_subcommand(
        "info", "Read the connected radio's versions and serial number (19200 bit/s)");
    auto options = std::make_shared<InfoOptions>();
    info->add_option("--port", options->port, "COM number (1-255) or device path")->required();
    info->add_option("--radio-type", options->radioType,
                     "radio type code of the build: 0 (6700 series 6), 1, 4, 5, 6, 7 or 8")
        ->check(CLI::IsMember({0, 1, 4, 5, 6, 7, 8}))
        ->capture_default_str();
    info->footer(
        "Exit codes: 0 the version information was read; 1 the port did not open or the radio "
        "did not answer;\n2 usage error.");
    info->callback([options, &exitCode] { exitCode = RunInfo(*options); });
}

[[maybe_unused]] const bool kRegistered = RegisterToolCommand(AddInfoCommand);

}  // namespace
}  // namespace quillon::tool
