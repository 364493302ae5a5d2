#include "app/core/RadioType.h"

namespace quillon {

uint8_t RadioTypeOfBuild(uint8_t model, uint8_t series, uint8_t mobileTypeSelect) {
    if (model == 0) {
        return series == 4   ? kRadioType6700Series4
               : series == 6 ? kRadioType6700Series6
                             : kRadioType6700Other;
    }
    if (mobileTypeSelect == 0) {
        return kRadioType6900Series1;
    }
    return series == 4   ? kRadioType6900Series4
           : series == 6 ? kRadioType6900Series6
                         : kRadioType6900Other;
}

uint8_t RadioTypeOfRadio(uint8_t model, uint8_t major, uint8_t minor) {
    if (model == 0) {
        switch (major) {
            case 4:
            case 7:
                return kRadioType6700Series4;
            case 6:
                return kRadioType6700Series6;
            default:
                return kRadioType6700Other;
        }
    }
    if (major == 4) {
        return kRadioType6900Series4;
    }
    if (major == 6) {
        return kRadioType6900Series6;
    }
    if (major > 1 || (major == 1 && minor > 8)) {
        return kRadioType6900Other;
    }
    return kRadioType6900Series1;
}

}  // namespace quillon
