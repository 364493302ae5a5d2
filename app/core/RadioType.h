#pragma once

#include <cstdint>

namespace quillon {

// Radio type codes: the radio family of a build or of a connected radio.
enum RadioTypeCodeValue : uint8_t {
    kRadioType6700Series6 = 0,
    kRadioType6900Series1 = 1,
    kRadioType6700Other = 4,
    kRadioType6900Other = 5,
    kRadioType6700Series4 = 6,  // also a 6700 reporting boot generation 7
    kRadioType6900Series4 = 7,
    kRadioType6900Series6 = 8
};

// The type code of a build: model 0 (6700) or 1 (6900), its series and, for the 6900, the
// mobile type selector (0 makes it a Series 1 build).
uint8_t RadioTypeOfBuild(uint8_t model, uint8_t series, uint8_t mobileTypeSelect);

// The type code of a connected radio of `model` from its boot version major.minor.
uint8_t RadioTypeOfRadio(uint8_t model, uint8_t major, uint8_t minor);

// Families for which the manual sequence neither asks the boot version nor checks the target.
inline bool SkipsRadioChecks(uint8_t radioType) {
    return radioType == kRadioType6900Series1 || radioType == kRadioType6700Other ||
           radioType == kRadioType6900Other;
}

}  // namespace quillon
