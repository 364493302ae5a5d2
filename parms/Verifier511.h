#pragma once

#include "parms/CodeplugFormat.h"

namespace quillon {

// Checks and repairs an image of format 5.11 before it is written to a radio that expects 5.11:
// the hard-key entry of header table 7, header defaults, per-system defaults, the length of
// table 11 of kind-3 systems and the group scan settings.
class Verifier511 {
public:
    static bool Run(CodeplugImage& image, bool hardKey);
};

}  // namespace quillon
