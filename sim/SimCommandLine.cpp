#include "sim/SimCommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <type_traits>
#include <vector>

#include "sim/ScenarioCatalog.h"
#include "sim/ScenarioLoader.h"
#include "sim/ScenarioValue.h"
#include "tools/version/ProgramVersion.h"

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

void ListScenarios(const ScenarioCatalog& catalog, std::ostream& out) {
    const std::vector<ScenarioCatalog::Entry> entries = catalog.List();
    size_t width = 0;
    for (const ScenarioCatalog::Entry& entry : entries) {
        width = std::max(width, entry.name.size());
    }
    out << "Scenarios in " << catalog.Folder() << " (--scenario NAME):\n";
    for (const ScenarioCatalog::Entry& entry : entries) {
        out << "  " << entry.name << std::string(width - entry.name.size() + 2, ' ')
            << entry.description << '\n';
    }
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
    DownloadConfig& download = options.config.download;
    std::optional<int> processor, eraseMs, startNegatives, badSums, silentFrom, dropAt;
    std::optional<uint32_t> verifyAt;
    std::optional<std::string> codeOut, dspOut;
    std::optional<std::string> codeplug, codeplugOut, codeplugPassword;
    std::optional<int> badChecksumPair, silentBlock;
    bool restartNotice = false;
    bool ackResends = false;
    bool listScenarios = false;
    if (const char* envDir = std::getenv("QUILLON_COM_DIR")) {
        options.comDir = envDir;
    }
    if (const char* envDir = std::getenv("QUILLON_SCENARIO_DIR"); envDir && *envDir) {
        options.scenarioDir = envDir;
    }

    app.set_version_flag(
        "--version", ProgramVersion::Line("quillon-radiosim") + "\nProfile: " QUILLON_PROFILE_NAME,
        "Print the release, the build profile and the build id, then exit");
    app.add_option("--scenario", scenario,
                   "A scenario by name from the scenarios folder, or a JSON scenario file "
                   "(a path with a '/' or ending in .json; keys in sim/README.md)");
    app.add_option("--scenario-dir", options.scenarioDir,
                   "The scenarios folder (default: $QUILLON_SCENARIO_DIR, else the one that "
                   "comes with the program)");
    app.add_flag("--list-scenarios", listScenarios,
                 "List the scenarios of the folder with a line on each, then exit");
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

    app.add_option("--processor", processor, "Processor code the loader reports (4 or 8)")
        ->check(CLI::Range(0, 255));
    app.add_option("--erase-ms", eraseMs, "How long the flash erase after the loader takes")
        ->check(CLI::Range(0, 600000));
    app.add_option("--code-out", codeOut, "Write the received code stream to this file");
    app.add_option("--dsp-out", dspOut, "Write the received DSP pages to this file");
    app.add_option("--start-negatives", startNegatives, "Answer this many image starts with 02 0A")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--bad-sums", badSums, "Report this many pair sums wrong")
        ->check(CLI::NonNegativeNumber);
    CLI::Option* ackResendsFlag =
        app.add_flag("--ack-resends,!--sum-resends", ackResends,
                     "Answer a resent block with 02 07 (or sum the pair again, the default)");
    app.add_option("--verify-fail-at", verifyAt, "Fail the verify of the pair holding this byte");
    app.add_option("--silent-from-block", silentFrom, "No answer to data blocks from this one on")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--drop-line-at-block", dropAt, "The line goes dead at this data block")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--codeplug", codeplug,
                   "Codeplug the radio holds: bytes as sent, words high byte first");
    app.add_option("--codeplug-out", codeplugOut, "Store each downloaded codeplug in FILE");
    app.add_option("--codeplug-password", codeplugPassword,
                   "Ask for this codeplug password (up to 8 digits)");
    CLI::Option* noticeFlag = app.add_flag("--codeplug-0725", restartNotice,
                                           "Send 07 25 before answering a codeplug start message");
    app.add_option("--codeplug-bad-checksum", badChecksumPair,
                   "Ask a wrong checksum for download pair N (from 0)")
        ->check(CLI::Range(0, 255));
    app.add_option("--codeplug-silent-block", silentBlock,
                   "Never send or ask for codeplug block N (from 0)")
        ->check(CLI::Range(0, 511));

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return 0;
    } catch (const CLI::ParseError& error) {
        err << "quillon-radiosim: " << error.what() << "\nRun with --help for the options.\n";
        return 2;
    }

    try {
        const ScenarioCatalog catalog(options.scenarioDir);
        if (listScenarios) {
            ListScenarios(catalog, out);
            return 0;
        }
        if (!scenario.empty()) {
            LoadScenarioFile(
                ScenarioCatalog::IsPath(scenario) ? scenario : catalog.PathOf(scenario),
                options.config);
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
        auto override = [](const auto& value, auto& field) {
            if (value) {
                field = static_cast<std::remove_reference_t<decltype(field)>>(*value);
            }
        };
        override(processor, download.processorCode);
        override(eraseMs, download.eraseMs);
        override(startNegatives, download.startNegatives);
        override(badSums, download.badSums);
        if (ackResendsFlag->count() > 0) {
            download.acknowledgeResends = ackResends;
        }
        override(silentFrom, download.silentFromBlock);
        override(dropAt, download.dropLineAtBlock);
        override(codeOut, download.codeOutPath);
        override(dspOut, download.dspOutPath);
        if (verifyAt) {
            download.verifyFailAt = *verifyAt;
        }
        if (codeplug) {
            config.codeplug.imagePath = *codeplug;
        }
        if (codeplugOut) {
            config.codeplug.outPath = *codeplugOut;
        }
        if (codeplugPassword) {
            config.codeplug.password = CheckPassword(*codeplugPassword, "--codeplug-password");
        }
        if (noticeFlag->count() > 0) {
            config.codeplug.restartNotice = restartNotice;
        }
        if (badChecksumPair) {
            config.codeplug.badChecksumPair = *badChecksumPair;
        }
        if (silentBlock) {
            config.codeplug.silentBlock = *silentBlock;
        }
        LoadCodeplugImage(config.codeplug);
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
