#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "link/VersionInfo.h"
#include "sim/HexBytes.h"

namespace quillon::test {

// A radio whose answers are full of the bytes the framing must escape (10, 7E, BA), so that
// every reply crosses the line stuffed. Its controller version starts with 4: SEM is asked.
// clang-format off
inline const std::vector<std::string> kStuffedRadio = {
    "--codeplug-format",     "5.10",
    "--dsp-version",         "16.126.186",
    "--controller-version",  "4.16.126",
    "--hardware-revision",   "3.186.0",
    "--serial",              "7E10BA0102FF7F80",
    "--boot-version",        "6.5",
    "--sem-version",         "1.126",
    "--radio-info",          "0110 7EBA 0000 0000 0009",
};
// clang-format on

// What ReadVersionInfo must read from that radio, SEM included.
inline VersionInfo StuffedRadioVersions() {
    // clang-format off
    static constexpr uint8_t kBytes[sizeof(VersionInfo)] = {
        5, 10,                                           // file format
        0x10, 0x7E, 0xBA,                                // DSP
        4, 0x10, 0x7E,                                   // controller
        3, 0xBA, 0,                                      // hardware
        0x7E, 0x10, 0xBA, 0x01, 0x02, 0xFF, 0x7F, 0x80,  // serial number
        6, 5,                                            // boot load
        1, 0x7E,                                         // SEM
    };
    // clang-format on
    VersionInfo info;
    std::memcpy(&info, kBytes, sizeof info);
    return info;
}

// `base` with the options of `more`: an option that takes a value replaces its value in `base`
// (the program takes each at most once), anything else is added.
inline std::vector<std::string> With(std::vector<std::string> base,
                                     const std::vector<std::string>& more) {
    const auto isOption = [](const std::string& word) { return word.rfind("--", 0) == 0; };
    for (size_t i = 0; i < more.size(); ++i) {
        const bool hasValue = isOption(more[i]) && i + 1 < more.size() && !isOption(more[i + 1]);
        const auto found = std::find(base.begin(), base.end(), more[i]);
        if (hasValue && found != base.end() && found + 1 != base.end()) {
            *(found + 1) = more[++i];
        } else if (hasValue) {
            base.push_back(more[i]);
            base.push_back(more[++i]);
        } else {
            base.push_back(more[i]);
        }
    }
    return base;
}

// The record as "05 0A 10 ...", for comparisons that show every byte when they fail.
inline std::string Hex(const VersionInfo& info) {
    return sim::FormatHex(reinterpret_cast<const uint8_t*>(&info), sizeof info);
}

}  // namespace quillon::test
