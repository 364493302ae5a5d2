#include "tools/quillon-tool/PortAdvice.h"

#include "serial/ComPortPath.h"

namespace quillon::tool {

std::string PortAdvice::PresentPorts() {
    std::string list;
    for (const ComPortPath::PortInfo& port : ComPortPath::Enumerate()) {
        list += list.empty() ? "" : ", ";
        list += "COM" + std::to_string(port.number) + " (" + port.devicePath;
        list += port.inUse ? ", in use" : port.noAccess ? ", no access" : "";
        list += ")";
    }
    return list.empty() ? "No COM port is present." : "Ports present: " + list + ".";
}

std::string PortAdvice::OpenFailed(const PortArgument& port, const OpenFailure& failure) {
    std::string text;
    if (!port.isPath && port.path.empty()) {
        text = port.name +
               ": no device has that number (COM1-COM32 are /dev/ttyS0-31, COM33-COM96\n"
               "  /dev/ttyUSB0-63, COM97-COM160 /dev/ttyACM0-63; a link $" +
               ComPortPath::kDirVariable + "/com" + std::to_string(port.number) + " gives it one)";
    } else if (failure.reason == OpenFailure::Reason::None) {
        text = port.Label() + ": did not open";
    } else {
        text = port.Label() + ": " + failure.Explanation();
        if (failure.reason == OpenFailure::Reason::InUse) {
            text += " (close the program that holds it, or choose another port)";
        }
    }
    return text + "\n" + PresentPorts();
}

std::string PortAdvice::NoAnswer(const PortArgument& port) {
    return "No answer from the radio on " + port.Label() +
           ". Check that:\n"
           "  - the programming cable is plugged in at both ends;\n"
           "  - the radio is switched on, in normal mode or in bootload mode as the job needs\n"
           "    (a code download needs bootload mode);\n"
           "  - the cable is on " +
           port.name + " (quillon-tool ports lists the ports present).";
}

}  // namespace quillon::tool
