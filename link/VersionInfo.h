#pragma once

#include <cstdint>

namespace quillon {

// The connected radio's versions and serial number, as the version panel shows them.
struct VersionInfo {
    uint8_t FileVersion[2] = {};        // codeplug file format: major, minor (04 1D)
    uint8_t DSPVersion[3] = {};         // DSP software (04 0C)
    uint8_t ControllerVersion[3] = {};  // controller software (04 0A)
    uint8_t HardwareRevision[3] = {};   // (04 08)
    uint8_t SerialNumber[8] = {};       // (04 05)
    uint8_t BootVersion[2] = {};        // boot load version: major, minor (04 2E)
    uint8_t SEMVersion[2] = {};         // major, minor (04 3F); zero when not asked
};

static_assert(sizeof(VersionInfo) == 23, "the version record is 23 bytes");

}  // namespace quillon
