#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/ScenarioCatalog.h"
#include "sim/ScenarioLoader.h"
#include "sim/SimCommandLine.h"
#include "tests/sim/SimProcess.h"
#include "tools/version/ProgramVersion.h"

namespace quillon::sim {
namespace {

std::string Error(const std::string& text) {
    RadioConfig config;
    try {
        LoadScenarioText(text, config);
    } catch (const ScenarioError& error) {
        return error.what();
    }
    return "";
}

TEST(ScenarioLoader, ReadsEveryKey) {
    RadioConfig config;
    LoadScenarioText(R"({
        "description": "test",
        "kind": "mobile",
        "codeplug_format": [5, 9],
        "dsp_version": "1.2.3",
        "controller_version": [6, 0, 255],
        "hardware_revision": "0.0.7",
        "serial_number": "00112233 44556677",
        "boot_version": "6.10",
        "sem_version": [2, 1],
        "radio_info": "F0 01 02 03 04 05 06 07 08 09",
        "box": true,
        "box_data": "DEADBEEF",
        "faults": [
            {"code": "04 2D", "answer_0420": true, "times": 3},
            {"code": "*", "silent": true, "noise": 5, "bad_checksum_first": true,
             "wrong_h2_first": true, "delay_ms": 100}
        ]
    })",
                     config);
    EXPECT_FALSE(config.portable);
    EXPECT_EQ(config.codeplugFormat, (std::array<uint8_t, 2>{5, 9}));
    EXPECT_EQ(config.dspVersion, (std::array<uint8_t, 3>{1, 2, 3}));
    EXPECT_EQ(config.controllerVersion, (std::array<uint8_t, 3>{6, 0, 255}));
    EXPECT_EQ(config.hardwareRevision, (std::array<uint8_t, 3>{0, 0, 7}));
    EXPECT_EQ(config.serialNumber,
              (std::array<uint8_t, 8>{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}));
    EXPECT_EQ(config.bootVersion, (std::array<uint8_t, 2>{6, 10}));
    EXPECT_EQ(config.semVersion, (std::array<uint8_t, 2>{2, 1}));
    EXPECT_EQ(config.radioInfo[0], 0xF0);
    EXPECT_EQ(config.radioInfo[9], 0x09);
    EXPECT_TRUE(config.box);
    EXPECT_EQ(config.boxData, (std::array<uint8_t, 4>{0xDE, 0xAD, 0xBE, 0xEF}));
    ASSERT_EQ(config.faults.size(), 2u);
    EXPECT_EQ(config.faults[0].code, (Bytes{0x04, 0x2D}));
    EXPECT_TRUE(config.faults[0].answerUnable);
    EXPECT_EQ(config.faults[0].times, 3);
    EXPECT_TRUE(config.faults[1].code.empty());
    EXPECT_TRUE(config.faults[1].silent && config.faults[1].badChecksumFirst &&
                config.faults[1].wrongH2First);
    EXPECT_EQ(config.faults[1].noise, 5);
    EXPECT_EQ(config.faults[1].delayMs, 100);
    EXPECT_EQ(config.faults[1].times, -1);
}

TEST(ScenarioLoader, HardKeyActsAfterRadioInfoWhateverTheOrder) {
    RadioConfig config;
    LoadScenarioText(R"({"hard_key": true, "radio_info": "00000000000000000000"})", config);
    EXPECT_EQ(config.radioInfo[0], 0x02);
    LoadScenarioText(R"({"radio_info": "FF000000000000000000", "hard_key": false})", config);
    EXPECT_EQ(config.radioInfo[0], 0xFD);
}

TEST(ScenarioLoader, ExampleScenariosLoad) {
    for (const char* name : {"portable-6700.json", "mobile-6900-box.json"}) {
        RadioConfig config;
        EXPECT_NO_THROW(
            LoadScenarioFile(std::string(QUILLON_SOURCE_DIR "/sim/scenarios/") + name, config))
            << name;
    }
}

TEST(ScenarioLoader, NamesTheKeyAndWhatWasExpected) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"boot_versoin": "6.7"})", "unknown key 'boot_versoin'"},
        {R"({"boot_version": "6"})", "key 'boot_version'"},
        {R"({"boot_version": "6.7.1"})", "key 'boot_version'"},
        {R"({"boot_version": "6.256"})", "key 'boot_version'"},
        {R"({"boot_version": "6.-1"})", "key 'boot_version'"},
        {R"({"dsp_version": [1, 2]})", "key 'dsp_version'"},
        {R"({"dsp_version": [1, 2, -3]})", "key 'dsp_version'"},
        {R"({"serial_number": "0011223344556677FF"})", "key 'serial_number'"},
        {R"({"radio_info": "0G000000000000000000"})", "key 'radio_info'"},
        {R"({"kind": "handheld"})", "key 'kind'"},
        {R"({"box": "yes"})", "key 'box'"},
        {R"({"faults": {"code": "*"}})", "key 'faults'"},
        {R"({"faults": [{"silent": true}]})", "needs a \"code\""},
        {R"({"faults": [{"code": "04 2D 00"}]})", "key 'faults[0].code'"},
        {R"({"faults": [{"code": "*", "times": 0}]})", "key 'faults[0].times'"},
        {R"({"faults": [{"code": "*", "noise": -1}]})", "key 'faults[0].noise'"},
        {R"({"faults": [{"code": "*", "delay_ms": 1.5}]})", "key 'faults[0].delay_ms'"},
        {R"({"faults": [{"code": "*", "sillent": true}]})", "unknown key 'faults[0].sillent'"},
        {R"({"download": [1]})", "key 'download'"},
        {R"({"download": {"erase_ms": -5}})", "key 'download.erase_ms'"},
        {R"({"download": {"verify_fail_at": -1}})", "key 'download.verify_fail_at'"},
        {R"({"download": {"code_out": 3}})", "key 'download.code_out'"},
        {R"({"download": {"erase": 5}})", "unknown key 'download.erase'"},
        {R"(["kind", "mobile"])", "JSON object"},
        {R"({"kind": "mobile",)", "not valid JSON"},
        {R"({"faults": [{"code": "*", "times": 1e577}]})", "not valid JSON"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_NE(Error(text).find(expected), std::string::npos)
            << text << " gave: " << Error(text);
    }
}

TEST(ScenarioLoader, ABadScenarioChangesNothing) {
    RadioConfig config;
    EXPECT_THROW(LoadScenarioText(R"({"boot_version": "1.2", "kind": "handheld"})", config),
                 ScenarioError);
    EXPECT_EQ(config.bootVersion, RadioConfig{}.bootVersion);
}

TEST(ScenarioLoader, MissingFileIsAnError) {
    RadioConfig config;
    EXPECT_THROW(LoadScenarioFile("/nonexistent/scenario.json", config), ScenarioError);
}

TEST(ScenarioValue, FaultTextFromTheCommandLine) {
    const FaultRule rule = ParseFaultText("042D:0420,noise=7,delay=30,times=2,bad-checksum");
    EXPECT_EQ(rule.code, (Bytes{0x04, 0x2D}));
    EXPECT_TRUE(rule.answerUnable);
    EXPECT_TRUE(rule.badChecksumFirst);
    EXPECT_FALSE(rule.silent || rule.wrongH2First);
    EXPECT_EQ(rule.noise, 7);
    EXPECT_EQ(rule.delayMs, 30);
    EXPECT_EQ(rule.times, 2);
    EXPECT_TRUE(ParseFaultText("*:silent").silent);
    EXPECT_EQ(ParseFaultText("04:wrong-h2").code, (Bytes{0x04}));

    for (const char* bad : {"042D", "042D:", "0G2D:silent", "04 2D 00:silent", "*:loud", "*:noise",
                            "*:noise=x", "*:times=0", "*:silent=1", "*:delay=-5"}) {
        EXPECT_THROW(ParseFaultText(bad), ScenarioError) << bad;
    }
}

struct Parsed {
    std::optional<int> exitCode;
    SimOptions options;
    std::string out;
    std::string err;
};

Parsed Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "quillon-radiosim");
    Parsed parsed;
    std::ostringstream out, err;
    parsed.exitCode =
        ParseSimCommandLine(static_cast<int>(args.size()), args.data(), parsed.options, out, err);
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
}

TEST(SimCommandLine, OptionsOverrideTheScenario) {
    const std::string scenario = QUILLON_SOURCE_DIR "/sim/scenarios/mobile-6900-box.json";
    const Parsed parsed =
        Parse({"--scenario", scenario.c_str(), "--kind", "portable", "--boot-version", "7.1",
               "--no-box", "--radio-info", "01000000000000000000", "--hard-key", "--fault",
               "0467:silent", "--com-dir", "/tmp", "--com", "7", "--exit-after", "2.5"});
    ASSERT_FALSE(parsed.exitCode) << parsed.err;
    const RadioConfig& config = parsed.options.config;
    EXPECT_TRUE(config.portable);
    EXPECT_EQ(config.bootVersion, (std::array<uint8_t, 2>{7, 1}));
    EXPECT_EQ(config.codeplugFormat, (std::array<uint8_t, 2>{5, 8}));  // from the file
    EXPECT_FALSE(config.box);
    EXPECT_EQ(config.radioInfo[0], 0x03);
    ASSERT_FALSE(config.faults.empty());
    EXPECT_EQ(config.faults.back().code, (Bytes{0x04, 0x67}));
    EXPECT_EQ(parsed.options.comNumber, 7);
    EXPECT_EQ(parsed.options.comDir, "/tmp");
    EXPECT_DOUBLE_EQ(parsed.options.exitAfterSeconds, 2.5);
}

TEST(SimCommandLine, DownloadBehaviourFromScenarioAndOptions) {
    RadioConfig fromText;
    LoadScenarioText(R"({"download": {"processor": 8, "erase_ms": 5000, "bad_sums": 2,
                                       "ack_resends": true,
                                       "verify_fail_at": 4096, "silent_from_block": 7,
                                       "code_out": "/tmp/c.bin"}})",
                     fromText);
    const Parsed parsed =
        Parse({"--erase-ms", "100", "--start-negatives", "3", "--drop-line-at-block", "9",
               "--dsp-out", "/tmp/d.bin", "--sum-resends"});
    ASSERT_FALSE(parsed.exitCode) << parsed.err;
    const DownloadConfig& a = fromText.download;
    const DownloadConfig& b = parsed.options.config.download;
    EXPECT_EQ(a.processorCode, 8);
    EXPECT_EQ(a.eraseMs, 5000);
    EXPECT_EQ(a.badSums, 2);
    EXPECT_TRUE(a.acknowledgeResends);
    EXPECT_FALSE(b.acknowledgeResends);
    EXPECT_TRUE(Parse({"--ack-resends"}).options.config.download.acknowledgeResends);
    EXPECT_EQ(a.verifyFailAt, 4096u);
    EXPECT_EQ(a.silentFromBlock, 7);
    EXPECT_EQ(a.codeOutPath, "/tmp/c.bin");
    EXPECT_EQ(b.eraseMs, 100);
    EXPECT_EQ(b.startNegatives, 3);
    EXPECT_EQ(b.dropLineAtBlock, 9);
    EXPECT_EQ(b.dspOutPath, "/tmp/d.bin");
    EXPECT_EQ(b.processorCode, 4);  // untouched
    EXPECT_EQ(Parse({"--erase-ms", "-1"}).exitCode, 2);
    EXPECT_EQ(Parse({"--processor", "300"}).exitCode, 2);
}

TEST(SimCommandLine, BadInputEndsWithExitCodeTwoAndAReason) {
    const std::vector<std::vector<const char*>> cases = {
        {"--scenario", "/nonexistent.json"},
        {"--boot-version", "six"},
        {"--serial", "0011"},
        {"--kind", "handheld"},
        {"--com", "256", "--com-dir", "/tmp"},
        {"--com", "7", "--com-dir", "/nonexistent-com-folder"},
        {"--com-dir", QUILLON_SOURCE_DIR "/sim/scenarios/portable-6700.json"},
        {"--fault", "*:loud"},
        {"--exit-after", "-1"},
        {"--unknown"},
    };
    for (const auto& args : cases) {
        const Parsed parsed = Parse(args);
        EXPECT_EQ(parsed.exitCode, 2) << args[0];
        EXPECT_NE(parsed.err.find("quillon-radiosim: "), std::string::npos) << args[0];
    }
    EXPECT_EQ(Parse({"--help"}).exitCode, 0);
}

TEST(SimCommandLine, VersionNamesReleaseProfileAndBuild) {
    const Parsed parsed = Parse({"--version"});
    EXPECT_EQ(parsed.exitCode, 0);
    EXPECT_EQ(parsed.out.rfind(ProgramVersion::Line("quillon-radiosim") + "\nProfile: ", 0), 0u)
        << parsed.out;
}

constexpr const char* kScenarios = QUILLON_SOURCE_DIR "/sim/scenarios";

TEST(SimCommandLine, ScenariosByNameFromTheFolder) {
    ::unsetenv("QUILLON_SCENARIO_DIR");  // the folder comes from the command line alone
    const Parsed listed = Parse({"--scenario-dir", kScenarios, "--list-scenarios"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    // One line each, by name, with the description from the file.
    EXPECT_NE(listed.out.find("\n  address-conflict "), std::string::npos) << listed.out;
    EXPECT_LT(listed.out.find("address-conflict"), listed.out.find("wrong-kind"));
    EXPECT_NE(listed.out.find("  silent-radio           A radio that answers nothing at all\n"),
              std::string::npos)
        << listed.out;
    EXPECT_EQ(listed.out.find(".cpl"), std::string::npos);

    const Parsed byName = Parse({"--scenario-dir", kScenarios, "--scenario", "portable-6700"});
    ASSERT_FALSE(byName.exitCode) << byName.err;
    EXPECT_FALSE(byName.options.config.codeplug.image.empty());  // found beside the scenario

    const Parsed unknown = Parse({"--scenario-dir", kScenarios, "--scenario", "portable-670"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("no scenario 'portable-670' in "), std::string::npos);
    EXPECT_NE(unknown.err.find("portable-6700"), std::string::npos) << unknown.err;

    for (const std::vector<const char*>& noFolder :
         {std::vector<const char*>{"--scenario", "portable-6700"},
          {"--list-scenarios"},
          {"--scenario-dir", "/nonexistent-scenarios", "--list-scenarios"}}) {
        const Parsed parsed = Parse(noFolder);
        EXPECT_EQ(parsed.exitCode, 2) << noFolder.back();
        EXPECT_NE(parsed.err.find("scenarios folder"), std::string::npos) << parsed.err;
    }
}

TEST(ScenarioCatalog, NamesAndPathsAndTheFolderBesideTheProgram) {
    for (const auto& [value, isPath] :
         {std::pair{"portable-6700", false}, {"a/b", true}, {"mine.json", true}, {"json", false}}) {
        EXPECT_EQ(ScenarioCatalog::IsPath(value), isPath) << value;
    }
    namespace fs = std::filesystem;
    testing::TempDir dir;
    const fs::path root = dir.Path();
    EXPECT_EQ(ScenarioCatalog::FolderBeside((root / "bin/quillon-radiosim").string()), "");
    // Installed: ../share/quillon-code-updater/scenarios; in the build tree: scenarios/ beside.
    fs::create_directories(root / "share/quillon-code-updater/scenarios");
    fs::create_directories(root / "bin");
    EXPECT_EQ(ScenarioCatalog::FolderBeside((root / "bin/quillon-radiosim").string()),
              (root / "share/quillon-code-updater/scenarios").string());
    fs::create_directories(root / "bin/scenarios");
    EXPECT_EQ(ScenarioCatalog::FolderBeside((root / "bin/quillon-radiosim").string()),
              (root / "bin/scenarios").string());

    // A file that is not a scenario still gets its line.
    std::ofstream(root / "bin/scenarios/broken.json") << "{";
    std::ofstream(root / "bin/scenarios/plain.json") << "{}";
    const std::vector<ScenarioCatalog::Entry> entries =
        ScenarioCatalog((root / "bin/scenarios").string()).List();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "broken");
    EXPECT_EQ(entries[0].description, "(not a JSON object)");
    EXPECT_EQ(entries[1].description, "(no description)");
}

}  // namespace
}  // namespace quillon::sim
