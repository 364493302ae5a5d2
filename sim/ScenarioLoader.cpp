#include "sim/ScenarioLoader.h"

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

namespace quillon::sim {

namespace {

using Json = nlohmann::json;

[[noreturn]] void Fail(const std::string& key, const std::string& expected) {
    throw ScenarioError("key '" + key + "': expected " + expected);
}

template <size_t N>
std::array<uint8_t, N> ReadDotted(const Json& value, const std::string& key) {
    const std::string expected =
        N == 2 ? "\"major.minor\" or [major, minor]" : "\"a.b.c\" or [a, b, c] (numbers 0-255)";
    if (value.is_string()) {
        if (auto parsed = ParseDotted<N>(value.get<std::string>())) {
            return *parsed;
        }
        Fail(key, expected);
    }
    if (!value.is_array() || value.size() != N) {
        Fail(key, expected);
    }
    std::array<uint8_t, N> result{};
    for (size_t i = 0; i < N; ++i) {
        if (!value[i].is_number_unsigned() || value[i].get<unsigned long long>() > 255) {
            Fail(key, expected);
        }
        result[i] = static_cast<uint8_t>(value[i].get<unsigned>());
    }
    return result;
}

template <size_t N>
std::array<uint8_t, N> ReadHex(const Json& value, const std::string& key) {
    if (value.is_string()) {
        if (auto parsed = ParseHexArray<N>(value.get<std::string>())) {
            return *parsed;
        }
    }
    Fail(key, "a text of " + std::to_string(N) + " hexadecimal bytes");
}

bool ReadBool(const Json& value, const std::string& key) {
    if (!value.is_boolean()) {
        Fail(key, "true or false");
    }
    return value.get<bool>();
}

std::string ReadText(const Json& value, const std::string& key) {
    if (!value.is_string()) {
        Fail(key, "a text");
    }
    return value.get<std::string>();
}

long long ReadInteger(const Json& value, const std::string& key) {
    if (!value.is_number_integer()) {
        Fail(key, "a whole number");
    }
    return value.get<long long>();
}

int ReadChecked(int (*check)(long long), const Json& value, const std::string& key) {
    const long long number = ReadInteger(value, key);
    try {
        return check(number);
    } catch (const ScenarioError& error) {
        throw ScenarioError("key '" + key + "': " + error.what());
    }
}

int ReadBlockNumber(const Json& value, const std::string& key) {
    const long long number = ReadInteger(value, key);
    if (number < 0 || number > 511) {
        Fail(key, "a block number from 0 to 511");
    }
    return static_cast<int>(number);
}

FaultRule ReadFault(const Json& value, const std::string& where) {
    if (!value.is_object()) {
        Fail(where, "an object");
    }
    FaultRule rule;
    bool haveCode = false;
    for (const auto& [name, item] : value.items()) {
        const std::string key = where + "." + name;
        if (name == "code") {
            std::optional<Bytes> code;
            if (item.is_string()) {
                code = ParseFaultCode(item.get<std::string>());
            }
            if (!code) {
                Fail(key, "\"*\", a family (\"04\") or a message code (\"04 2D\")");
            }
            rule.code = *code;
            haveCode = true;
        } else if (name == "silent") {
            rule.silent = ReadBool(item, key);
        } else if (name == "answer_0420") {
            rule.answerUnable = ReadBool(item, key);
        } else if (name == "bad_checksum_first") {
            rule.badChecksumFirst = ReadBool(item, key);
        } else if (name == "wrong_h2_first") {
            rule.wrongH2First = ReadBool(item, key);
        } else if (name == "noise") {
            rule.noise = ReadChecked(CheckNoise, item, key);
        } else if (name == "delay_ms") {
            rule.delayMs = ReadChecked(CheckDelay, item, key);
        } else if (name == "times") {
            rule.times = ReadChecked(CheckTimes, item, key);
        } else {
            throw ScenarioError("unknown key '" + key + "'");
        }
    }
    if (!haveCode) {
        throw ScenarioError("key '" + where + "': a fault needs a \"code\"");
    }
    return rule;
}

int ReadMilliseconds(const Json& value, const std::string& key) {
    const long long number = ReadInteger(value, key);
    if (number < 0 || number > 600000) {
        Fail(key, "milliseconds from 0 to 600000");
    }
    return static_cast<int>(number);
}

int ReadCount(const Json& value, const std::string& key, long long limit) {
    const long long number = ReadInteger(value, key);
    if (number < -1 || number > limit) {
        Fail(key, "a whole number from -1 to " + std::to_string(limit));
    }
    return static_cast<int>(number);
}

RestartPlan ReadRestart(const Json& value, RestartPlan plan) {
    if (!value.is_object()) {
        Fail("restart", "an object");
    }
    for (const auto& [name, item] : value.items()) {
        const std::string key = "restart." + name;
        if (name == "enabled") {
            plan.enabled = ReadBool(item, key);
        } else if (name == "delay_ms") {
            plan.delayMs = ReadMilliseconds(item, key);
        } else if (name == "announce_first") {
            plan.announceFirst = ReadBool(item, key);
        } else if (name == "control_heads") {
            const long long heads = ReadInteger(item, key);
            if (heads < 0 || heads > 16) {
                Fail(key, "a number of heads from 0 to 16");
            }
            plan.controlHeads = static_cast<int>(heads);
        } else if (name == "head_ms") {
            plan.headMs = ReadMilliseconds(item, key);
        } else if (name == "address_conflict") {
            plan.addressConflict = ReadBool(item, key);
        } else if (name == "codeplug_format") {
            plan.codeplugFormat = ReadDotted<2>(item, key);
        } else {
            throw ScenarioError("unknown key '" + key + "'");
        }
    }
    return plan;
}

void ReadDownload(const Json& value, DownloadConfig& download) {
    if (!value.is_object()) {
        Fail("download", "an object");
    }
    for (const auto& [name, item] : value.items()) {
        const std::string key = "download." + name;
        if (name == "processor") {
            download.processorCode = static_cast<uint8_t>(ReadCount(item, key, 255));
        } else if (name == "erase_ms") {
            download.eraseMs = ReadCount(item, key, 600000);
        } else if (name == "start_negatives") {
            download.startNegatives = ReadCount(item, key, 1000000);
        } else if (name == "bad_sums") {
            download.badSums = ReadCount(item, key, 1000000);
        } else if (name == "ack_resends") {
            download.acknowledgeResends = ReadBool(item, key);
        } else if (name == "verify_fail_at") {
            const long long at = ReadInteger(item, key);
            if (at < 0 || at > 0xFFFFFFFFLL) {
                Fail(key, "a byte address from 0 to 4294967295");
            }
            download.verifyFailAt = static_cast<uint32_t>(at);
        } else if (name == "silent_from_block") {
            download.silentFromBlock = ReadCount(item, key, 100000000);
        } else if (name == "drop_line_at_block") {
            download.dropLineAtBlock = ReadCount(item, key, 100000000);
        } else if (name == "code_out") {
            download.codeOutPath = ReadText(item, key);
        } else if (name == "dsp_out") {
            download.dspOutPath = ReadText(item, key);
        } else {
            throw ScenarioError("unknown key '" + key + "'");
        }
    }
}

void Apply(const Json& root, RadioConfig& config) {
    if (!root.is_object()) {
        throw ScenarioError("the scenario must be a JSON object");
    }
    // Applied after radio_info, whatever the order in the file.
    std::optional<bool> hardKey;
    for (const auto& [key, value] : root.items()) {
        if (key == "description") {
            if (!value.is_string()) {
                Fail(key, "a text");
            }
        } else if (key == "kind") {
            std::optional<bool> portable;
            if (value.is_string()) {
                portable = ParseKind(value.get<std::string>());
            }
            if (!portable) {
                Fail(key, "\"portable\" or \"mobile\"");
            }
            config.portable = *portable;
        } else if (key == "codeplug_format") {
            config.codeplugFormat = ReadDotted<2>(value, key);
        } else if (key == "dsp_version") {
            config.dspVersion = ReadDotted<3>(value, key);
        } else if (key == "controller_version") {
            config.controllerVersion = ReadDotted<3>(value, key);
        } else if (key == "hardware_revision") {
            config.hardwareRevision = ReadDotted<3>(value, key);
        } else if (key == "serial_number") {
            config.serialNumber = ReadHex<8>(value, key);
        } else if (key == "boot_version") {
            config.bootVersion = ReadDotted<2>(value, key);
        } else if (key == "sem_version") {
            config.semVersion = ReadDotted<2>(value, key);
        } else if (key == "radio_info") {
            config.radioInfo = ReadHex<10>(value, key);
        } else if (key == "hard_key") {
            hardKey = ReadBool(value, key);
        } else if (key == "box") {
            config.box = ReadBool(value, key);
        } else if (key == "box_data") {
            config.boxData = ReadHex<4>(value, key);
        } else if (key == "restart") {
            config.restart = ReadRestart(value, config.restart);
        } else if (key == "download") {
            ReadDownload(value, config.download);
        } else if (key == "codeplug") {
            config.codeplug.imagePath = ReadText(value, key);
        } else if (key == "codeplug_out") {
            config.codeplug.outPath = ReadText(value, key);
        } else if (key == "codeplug_password") {
            config.codeplug.password = CheckPassword(ReadText(value, key), "key '" + key + "'");
        } else if (key == "codeplug_0725") {
            config.codeplug.restartNotice = ReadBool(value, key);
        } else if (key == "codeplug_bad_checksum_pair") {
            config.codeplug.badChecksumPair = ReadBlockNumber(value, key);
        } else if (key == "codeplug_silent_block") {
            config.codeplug.silentBlock = ReadBlockNumber(value, key);
        } else if (key == "faults") {
            if (!value.is_array()) {
                Fail(key, "a list of fault objects");
            }
            for (size_t i = 0; i < value.size(); ++i) {
                config.faults.push_back(ReadFault(value[i], "faults[" + std::to_string(i) + "]"));
            }
        } else {
            throw ScenarioError("unknown key '" + key + "'");
        }
    }
    if (hardKey) {
        config.SetHardKey(*hardKey);
    }
}

}  // namespace

void LoadScenarioText(const std::string& text, RadioConfig& config) {
    Json root;
    try {
        root = Json::parse(text);
    } catch (const Json::exception& error) {
        // Syntax errors, and numbers too large for any type (out_of_range).
        throw ScenarioError(std::string("not valid JSON: ") + error.what());
    }
    // Build on a copy so a bad file leaves the configuration as it was.
    RadioConfig updated = config;
    Apply(root, updated);
    config = std::move(updated);
}

std::string CheckPassword(const std::string& text, const std::string& what) {
    if (text.size() > 8 || text.find_first_not_of("0123456789") != std::string::npos) {
        throw ScenarioError(what + ": expected a password of up to 8 digits");
    }
    return text;
}

void LoadCodeplugImage(CodeplugConfig& codeplug) {
    if (codeplug.imagePath.empty()) {
        return;
    }
    std::ifstream in(codeplug.imagePath, std::ios::binary);
    if (!in) {
        throw ScenarioError("codeplug " + codeplug.imagePath + ": cannot be read");
    }
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > 65536) {
        throw ScenarioError("codeplug " + codeplug.imagePath +
                            ": larger than the radio's 65536 bytes");
    }
    codeplug.image = std::move(bytes);
}

void LoadScenarioFile(const std::string& path, RadioConfig& config) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ScenarioError("scenario " + path + ": cannot be read");
    }
    std::ostringstream text;
    text << in.rdbuf();
    const std::string before = config.codeplug.imagePath;
    try {
        LoadScenarioText(text.str(), config);
    } catch (const ScenarioError& error) {
        throw ScenarioError("scenario " + path + ": " + error.what());
    }
    // A codeplug named in a scenario is found beside the scenario.
    std::string& image = config.codeplug.imagePath;
    const size_t slash = path.rfind('/');
    if (image != before && !image.empty() && image[0] != '/' && slash != std::string::npos) {
        image = path.substr(0, slash + 1) + image;
    }
}

}  // namespace quillon::sim
