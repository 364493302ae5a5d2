#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/CodeplugConfig.h"
#include "sim/DownloadConfig.h"
#include "sim/FaultRule.h"

namespace quillon::sim {

// What the virtual radio answers, and which faults it plays. The defaults are a portable radio
// with current firmware.
struct RadioConfig {
    static constexpr uint8_t kHardKeyBit = 0x02;  // in byte 0 of the radio information

    bool portable = true;
    std::array<uint8_t, 2> codeplugFormat{5, 11};
    std::array<uint8_t, 3> dspVersion{3, 2, 1};
    std::array<uint8_t, 3> controllerVersion{4, 1, 0};
    std::array<uint8_t, 3> hardwareRevision{2, 0, 0};
    std::array<uint8_t, 8> serialNumber{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    std::array<uint8_t, 2> bootVersion{6, 7};
    std::array<uint8_t, 2> semVersion{1, 0};
    std::array<uint8_t, 10> radioInfo{};
    bool box = false;  // an interface box that answers the probe sits in front of the radio
    std::array<uint8_t, 4> boxData{0x00, 0x01, 0x00, 0x00};
    std::vector<FaultRule> faults;
    DownloadConfig download;
    CodeplugConfig codeplug;

    bool HardKey() const { return (radioInfo[0] & kHardKeyBit) != 0; }
    void SetHardKey(bool on) {
        radioInfo[0] =
            static_cast<uint8_t>(on ? radioInfo[0] | kHardKeyBit : radioInfo[0] & ~kHardKeyBit);
    }
};

}  // namespace quillon::sim
