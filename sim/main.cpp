// quillon-radiosim: the virtual radio on a pseudo-terminal.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

#include "sim/ComLink.h"
#include "sim/FrameLog.h"
#include "sim/PseudoTerminal.h"
#include "sim/RadioSimulator.h"
#include "sim/ScenarioCatalog.h"
#include "sim/SimCommandLine.h"
#include "sim/SimServer.h"
#include "sim/StopSignals.h"

using namespace quillon::sim;

int main(int argc, char** argv) {
    std::string error;
    // First of all, so a stop request that comes early still ends in a clean exit.
    std::unique_ptr<StopSignals> stop = StopSignals::Install(error);
    if (!stop) {
        std::cerr << "quillon-radiosim: " << error << '\n';
        return 1;
    }

    SimOptions options;
    std::error_code selfError;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", selfError);
    options.scenarioDir = ScenarioCatalog::FolderBeside(selfError ? argv[0] : self.string());
    if (std::optional<int> exitCode =
            ParseSimCommandLine(argc, argv, options, std::cout, std::cerr)) {
        return *exitCode;
    }

    FrameLog log;
    if (!options.logPath.empty() && !log.OpenFile(options.logPath, error)) {
        std::cerr << "quillon-radiosim: " << error << '\n';
        return 2;
    }
    std::unique_ptr<PseudoTerminal> line = PseudoTerminal::Open(error);
    if (!line) {
        std::cerr << "quillon-radiosim: " << error << '\n';
        return 1;
    }
    std::unique_ptr<ComLink> comLink;
    if (options.comNumber != 0) {
        comLink = ComLink::Publish(options.comDir, options.comNumber, line->SlavePath(), error);
        if (!comLink) {
            std::cerr << "quillon-radiosim: " << error << '\n';
            return 1;
        }
    }

    // The device path is the first line of output; whoever started the radio waits for it.
    std::cout << line->SlavePath() << '\n' << std::flush;
    log.Write("NOTE", "serving on " + line->SlavePath() +
                          (comLink ? " as " + comLink->Path() : std::string()));
    log.Write("NOTE", "line at 19200 bit/s");

    RadioSimulator radio(options.config, log);
    SimServer server(*line, radio, log);
    if (options.exitAfterSeconds > 0) {
        server.SetIdleExit(std::chrono::milliseconds(
            static_cast<long long>(std::ceil(options.exitAfterSeconds * 1000))));
    }
    const int result = server.Run(stop->Fd(), error);
    if (result != 0) {
        std::cerr << "quillon-radiosim: " << error << '\n';
        log.Write("NOTE", "stopped: " + error);
    } else {
        log.Write("NOTE", "stopped");
    }
    return result;
}
