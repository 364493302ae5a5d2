#include "tools/quillon-tool/ToolConnection.h"

#include "serial/OpenFailure.h"
#include "serial/posix/ComPortPath.h"

namespace quillon::tool {

namespace {

constexpr int32_t kLinkStartSpeed = 19200;

}  // namespace

bool ResolvePort(const std::string& port, ResolvedPort& resolved, std::string& error) {
    if (port.find('/') != std::string::npos) {
        resolved = {port, port};
        return true;
    }
    int number = 0;
    if (!port.empty() && port.size() <= 3 &&
        port.find_first_not_of("0123456789") == std::string::npos) {
        number = std::stoi(port);
    }
    if (number < ComPortPath::kFirst || number > ComPortPath::kLast) {
        error =
            "--port: expected a COM number from 1 to 255 or a device path, got \"" + port + "\".";
        return false;
    }
    resolved = {ComPortPath::Resolve(number), "COM" + std::to_string(number)};
    return true;
}

bool ConnectLink(CommSession& session, const ResolvedPort& port, int32_t speed,
                 std::string& error) {
    if (!session.Connect(port.devicePath, kLinkStartSpeed, error)) {
        OpenFailure failure = session.LastOpenFailure();
        if (port.devicePath.empty()) {
            failure.devicePath = port.name;  // a number with no device behind it
        }
        session.Close();
        if (failure.reason != OpenFailure::Reason::None) {
            error += "\n" + failure.Describe();
        }
        return false;
    }
    if (speed != kLinkStartSpeed) {
        session.SetRadioBaud(speed);
    }
    return true;
}

}  // namespace quillon::tool
