#include "app/core/SysfsPortDeviceNames.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace quillon {
namespace {

namespace fs = std::filesystem;

// The first line of a small attribute file, or "".
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

// Walking up from a tty's device this far is enough to reach the USB device of both the
// usb-serial (port, interface, device) and the ACM (interface, device) layouts.
constexpr int kMaxLevels = 4;

}  // namespace

bool SysfsPortDeviceNames::List(std::vector<PortDeviceName>& devices) {
    devices.clear();
    std::error_code ec;
    const fs::path ttys = fs::path(sysRoot_) / "class" / "tty";
    fs::directory_iterator it(ttys, ec);
    if (ec) {
        return false;
    }
    for (const fs::directory_entry& entry : it) {
        const fs::path device = entry.path() / "device";
        if (!fs::exists(device, ec)) {
            continue;  // virtual consoles and pseudo-terminals have no device
        }
        PortDeviceName names;
        names.devicePath = (fs::path(devRoot_) / entry.path().filename()).string();
        fs::path dir = fs::canonical(device, ec);
        for (int level = 0; level < kMaxLevels && !ec && !dir.empty(); ++level) {
            if (names.description.empty()) {
                names.description = Attribute(dir / "interface");
            }
            if (fs::exists(dir / "idVendor", ec)) {
                names.vendorId = Attribute(dir / "idVendor");
                names.productId = Attribute(dir / "idProduct");
                names.product = Attribute(dir / "product");
                names.manufacturer = Attribute(dir / "manufacturer");
                names.serial = Attribute(dir / "serial");
                break;
            }
            dir = dir.parent_path();
        }
        devices.push_back(std::move(names));
    }
    std::sort(devices.begin(), devices.end(),
              [](const auto& a, const auto& b) { return a.devicePath < b.devicePath; });
    return true;
}

}  // namespace quillon
