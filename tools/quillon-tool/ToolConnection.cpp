#include "tools/quillon-tool/ToolConnection.h"

#include "serial/OpenFailure.h"
#include "serial/posix/ComPortPath.h"

namespace quillon::tool {

namespace {

constexpr int32_t kLinkStartSpeed = 19200;

}  // namespace

bool ResolvePort(const std::string& port, std::string& devicePath, std::string& error) {
    if (port.find('/') != std::string::npos) {
        devicePath = port;
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
    devicePath = ComPortPath::Resolve(number);
    if (devicePath.empty()) {
        error = "COM" + std::to_string(number) + " has no device (set " +
                ComPortPath::kDirVariable + " or give a device path).";
        return false;
    }
    return true;
}

bool ConnectLink(CommSession& session, const std::string& devicePath, int32_t speed,
                 std::string& error) {
    if (!session.StartCommunication(devicePath, kLinkStartSpeed, false, error)) {
        const OpenFailure failure = session.LastOpenFailure();
        session.Close();
        if (failure.reason != OpenFailure::Reason::None) {
            error += "\n" + failure.Describe();
        }
        return false;
    }
    session.SetFraming(1);
    session.SetActive(true);
    if (speed != kLinkStartSpeed) {
        session.SetRadioBaud(speed);
    }
    return true;
}

}  // namespace quillon::tool
