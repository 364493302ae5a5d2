#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/VersionInfo.h"

namespace quillon {

// One line of the version panel: its heading ("DSP Software Version:") and the value shown.
struct VersionInfoLine {
    std::string heading;
    std::string value;
};

// The seven lines of the version panel for `info`, read from a radio of type code
// `radioType`, in panel order. Numbers are decimal without padding, the serial number upper-case
// hexadecimal pairs joined by "-"; "Not Applicable" stands for a hardware revision of a radio
// family without one and for a zero boot load or SEM version.
std::vector<VersionInfoLine> FormatVersionInfo(const VersionInfo& info, uint8_t radioType);

// A serial number given as its hexadecimal digits ("0000000000000003", as the serial number
// query's reply is kept) in the panel's form ("00-00-00-00-00-00-00-03"). A text that is not an
// even count of hexadecimal digits (one grouped already, or none at all) comes back unchanged.
std::string PanelSerialNumber(const std::string& digits);

}  // namespace quillon
