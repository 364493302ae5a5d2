#include "sim/SimCommandLine.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "sim/ScenarioLoader.h"
#include "sim/ScenarioValue.h"

namespace quillon::sim {

namespace {

template <size_t N>
void OverrideDotted(const std::optional<std::string>& text, const char* option,
                    std::array<uint8_t, N>& field) {
    if (!text) {
        return;
    }
    auto parsed = ParseDotted<N>(*text);
    if (!parsed) {
        throw ScenarioError(std::string(option) + ": expected " +
                            (N == 2 ? "major.minor" : "a.b.c") + " (numbers 0-255)");
    }
    field = *parsed;
}

template <size_t N>
void OverrideHex(const std::optional<std::string>& text, const char* option,
                 std::array<uint8_t, N>& field) {
    if (!text) {
        return;
    }
    auto parsed = ParseHexArray<N>(*text);
    if (!parsed) {
        throw ScenarioError(std::string(option) + ": expected " + std::to_string(N) +
                            " bytes of hexadecimal");
    }
    field = *parsed;
}

}  // namespace

std::optional<int> ParseSimCommandLine(int argc, const char* const* argv, SimOptions& options,
                                       std::ostream& out, std::ostream& err) {
    CLI::App app{
        "The virtual radio: answers the updater on a pseudo-terminal as a radio would.\n"
        "Prints the device path as its first line of output and serves until stopped.",
        "quillon-radiosim"};
    std::string scenario;
    std::optional<std::string> kind, codeplugFormat, dspVersion, controllerVersion,
        hardwareRevision, serial, bootVersion, semVersion, radioInfo, boxData;
    bool box = false;
    bool hardKey = false;
    std::vector<std::string> faults;
    if (const char* envDir = std::getenv("QUILLON_COM_DIR")) {
        options.comDir = envDir;
    }

    app.add_option("--scenario", scenario, "JSON scenario file (keys in sim/README.md)");
    app.add_option("--log", options.logPath, "Frame log file, one line per frame");
    CLI::Option* comDirOption = app.add_option(
        "--com-dir", options.comDir, "Folder for the COM port link (default: $QUILLON_COM_DIR)");
    app.add_option("--com", options.comNumber, "Publish the device as COM N (DIR/comN)")
        ->check(CLI::Range(1, 255));
    app.add_option("--exit-after", options.exitAfterSeconds,
                   "Leave after this many seconds without traffic")
        ->check(CLI::PositiveNumber);
    app.add_option("--kind", kind, "portable or mobile")
        ->check(CLI::IsMember({"portable", "mobile"}));
    app.add_option("--codeplug-format", codeplugFormat, "Codeplug format, e.g. 5.11");
    app.add_option("--dsp-version", dspVersion, "DSP software version, e.g. 3.2.1");
    app.add_option("--controller-version", controllerVersion, "Controller version, e.g. 4.1.0");
    app.add_option("--hardware-revision", hardwareRevision, "Hardware revision, e.g. 2.0.0");
    app.add_option("--serial", serial, "Serial number, 8 bytes of hexadecimal");
    app.add_option("--boot-version", bootVersion, "Boot load version, e.g. 6.7");
    app.add_option("--sem-version", semVersion, "SEM version, e.g. 1.0");
    app.add_option("--radio-info", radioInfo, "Radio information, 10 bytes of hexadecimal");
    CLI::Option* hardKeyFlag =
        app.add_flag("--hard-key,!--no-hard-key", hardKey, "Set or clear the hard-key bit");
    CLI::Option* boxFlag =
        app.add_flag("--box,!--no-box", box, "An interface box answers the probe (or not)");
    app.add_option("--box-data", boxData, "The box's 4 answer bytes, hexadecimal");
    app.add_option("--fault", faults,
                   "CODE:ITEM[,ITEM...]; CODE * or 04 or 042D; ITEM silent, 0420, noise=N, "
                   "bad-checksum, wrong-h2, delay=MS, times=N (repeatable)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        err << "quillon-radiosim: " << error.what() << "\nRun with --help for the options.\n";
        return 2;
    }

    try {
        if (!scenario.empty()) {
            LoadScenarioFile(scenario, options.config);
        }
        RadioConfig& config = options.config;
        if (kind) {
            config.portable = *ParseKind(*kind);
        }
        OverrideDotted(codeplugFormat, "--codeplug-format", config.codeplugFormat);
        OverrideDotted(dspVersion, "--dsp-version", config.dspVersion);
        OverrideDotted(controllerVersion, "--controller-version", config.controllerVersion);
        OverrideDotted(hardwareRevision, "--hardware-revision", config.hardwareRevision);
        OverrideHex(serial, "--serial", config.serialNumber);
        OverrideDotted(bootVersion, "--boot-version", config.bootVersion);
        OverrideDotted(semVersion, "--sem-version", config.semVersion);
        OverrideHex(radioInfo, "--radio-info", config.radioInfo);
        if (hardKeyFlag->count() > 0) {
            config.SetHardKey(hardKey);
        }
        if (boxFlag->count() > 0) {
            config.box = box;
        }
        OverrideHex(boxData, "--box-data", config.boxData);
        for (const std::string& fault : faults) {
            config.faults.push_back(ParseFaultText(fault));
        }
    } catch (const ScenarioError& error) {
        err << "quillon-radiosim: " << error.what() << '\n';
        return 2;
    }
    if (options.comNumber != 0 && options.comDir.empty()) {
        err << "quillon-radiosim: --com needs --com-dir or $QUILLON_COM_DIR\n";
        return 2;
    }
    // The link is made in this folder; a mistyped name must not go unnoticed until a client
    // finds no port.
    std::error_code code;
    if ((options.comNumber != 0 || comDirOption->count() > 0) &&
        !std::filesystem::is_directory(options.comDir, code)) {
        err << "quillon-radiosim: the COM folder " << options.comDir
            << " is not an existing folder\n";
        return 2;
    }
    return std::nullopt;
}

}  // namespace quillon::sim
