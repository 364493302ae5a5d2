#pragma once

#include "parms/CodeplugFormat.h"

namespace quillon {

// Checks and repairs an image of format 5.11 before it is written to a radio that expects 5.11:
// the hard-key entry of header table 7, header defaults, per-system defaults, the length of
// table 11 of kind-3 systems and the group scan settings.
class Verifier511 {
public:
    static bool Run(CodeplugImage& image, bool hardKey);
    // Whether header table 7 holds the hard-key record (as Run leaves it for a radio with a
    // hard key).
    static bool HasHardKeyRecord(const CodeplugImage& image);
};

}  // namespace quillon
