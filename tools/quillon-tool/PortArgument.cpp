#include "tools/quillon-tool/PortArgument.h"

#include <cctype>
#include <filesystem>

#include "serial/ComPortPath.h"

namespace quillon::tool {
namespace {

// The device a path leads to (links followed), or the path itself when it leads nowhere.
std::string DeviceOf(const std::string& path) {
    std::error_code ec;
    const auto device = std::filesystem::canonical(path, ec);
    return ec ? path : device.string();
}

// The COM number whose entry or default device is `path`'s device, or 0.
int NumberOf(const std::string& path) {
    const std::string device = DeviceOf(path);
    for (int n = ComPortPath::kFirst; n <= ComPortPath::kLast; ++n) {
        const std::string entry = ComPortPath::Resolve(n);
        if (!entry.empty() && DeviceOf(entry) == device) {
            return n;
        }
    }
    return 0;
}

}  // namespace

bool PortArgument::Parse(const std::string& text, PortArgument& port, std::string& error) {
    port = {};
    if (text.find('/') != std::string::npos) {
        port.isPath = true;
        port.path = text;
        port.name = text;
        port.number = NumberOf(text);
        return true;
    }
    std::string digits = text;
    if (digits.size() > 3 && std::toupper(static_cast<unsigned char>(digits[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(digits[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(digits[2])) == 'M') {
        digits.erase(0, 3);
    }
    int number = 0;
    if (!digits.empty() && digits.size() <= 3 &&
        digits.find_first_not_of("0123456789") == std::string::npos) {
        number = std::stoi(digits);
    }
    if (number < ComPortPath::kFirst || number > ComPortPath::kLast) {
        error = "--port: \"" + text +
                "\" is not a port: give a COM number from 1 to 255 (7, COM7 or com7) or a "
                "device path (/dev/ttyUSB0, ./com7).";
        return false;
    }
    port.number = number;
    port.name = "COM" + std::to_string(number);
    port.path = ComPortPath::Resolve(number);
    return true;
}

std::string PortArgument::Label() const {
    if (isPath) {
        return number != 0 ? path + " (COM" + std::to_string(number) + ")" : path;
    }
    if (path.empty()) {
        return name + " (no device)";
    }
    const std::string device = DeviceOf(path);
    return name + " (" + (device == path ? path : path + " -> " + device) + ")";
}

}  // namespace quillon::tool
