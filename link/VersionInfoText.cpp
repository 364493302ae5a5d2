#include "link/VersionInfoText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace quillon {

namespace {

constexpr char kNotApplicable[] = "Not Applicable";

std::string Dotted(const uint8_t* numbers, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            text += '.';
        }
        text += std::to_string(numbers[i]);
    }
    return text;
}

std::string HexGroups(const uint8_t* bytes, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        if (i > 0) {
            text += '-';
        }
        text += pair;
    }
    return text;
}

std::string UnlessZero(const uint8_t version[2]) {
    return version[0] == 0 && version[1] == 0 ? kNotApplicable : Dotted(version, 2);
}

}  // namespace

std::string PanelSerialNumber(const std::string& digits) {
    const bool allHex = std::all_of(digits.begin(), digits.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    });
    if (digits.empty() || digits.size() % 2 != 0 || !allHex) {
        return digits;
    }
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return HexGroups(bytes.data(), static_cast<int>(bytes.size()));
}

std::vector<VersionInfoLine> FormatVersionInfo(const VersionInfo& info, uint8_t radioType) {
    const bool hasHardwareRevision = radioType == 1 || radioType == 5 || radioType == 7;
    return {
        {"File Format Version:", Dotted(info.FileVersion, 2)},
        {"DSP Software Version:", Dotted(info.DSPVersion, 3)},
        {"Controller Version:", Dotted(info.ControllerVersion, 3)},
        {"Hardware Revision:",
         hasHardwareRevision ? Dotted(info.HardwareRevision, 3) : kNotApplicable},
        {"Radio Serial Number:", HexGroups(info.SerialNumber, 8)},
        {"Boot Load Version:", UnlessZero(info.BootVersion)},
        {"SEM Version:", UnlessZero(info.SEMVersion)},
    };
}

}  // namespace quillon
