#include "sim/ScenarioLoader.h"

#include <fstream>
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

void LoadScenarioFile(const std::string& path, RadioConfig& config) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ScenarioError("scenario " + path + ": cannot be read");
    }
    std::ostringstream text;
    text << in.rdbuf();
    try {
        LoadScenarioText(text.str(), config);
    } catch (const ScenarioError& error) {
        throw ScenarioError("scenario " + path + ": " + error.what());
    }
}

}  // namespace quillon::sim
