#pragma once

#include <string>

#include "serial/OpenFailure.h"
#include "tools/quillon-tool/PortArgument.h"

namespace quillon::tool {

// What the tool tells a user whose port does not open or whose radio does not answer: which
// port (COM number and device), why, what to do, and which ports there are.
class PortAdvice {
public:
    // Lines (no final newline): the port, why it did not open and the fix; then the ports present.
    static std::string OpenFailed(const PortArgument& port, const OpenFailure& failure);
    // Lines (no final newline): what to check when the radio on `port` did not answer.
    static std::string NoAnswer(const PortArgument& port);
    // "Ports present: COM1 (/dev/ttyS0), COM7 (/dev/pts/0, in use)." or "No COM port is
    // present."
    static std::string PresentPorts();
};

}  // namespace quillon::tool
