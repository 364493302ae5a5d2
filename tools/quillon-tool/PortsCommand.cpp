// `quillon-tool ports`: lists the COM ports present on this machine, one a line, with the
// device each one names ("COM5  /dev/ttyUSB4"), the USB programming box it belongs to
// ("(6700 USB)"), the USB vendor and product ids and serial number where the device has them,
// marking those another program holds.

#include <CLI/CLI.hpp>
#include <iostream>
#include <vector>

#include "app/core/ComPortList.h"
#include "app/core/SysfsPortDeviceNames.h"
#include "serial/ComPortPath.h"
#include "serial/DeviceAccess.h"
#include "tools/quillon-tool/ToolCommand.h"

namespace quillon::tool {
namespace {

int RunPorts() {
    const auto ports = ComPortPath::Enumerate();
    SysfsPortDeviceNames names;
    std::vector<PortDeviceName> devices;
    names.List(devices);  // without device names the ports are listed all the same
    for (const auto& port : ports) {
        std::cout << "COM" << port.number << "  " << port.devicePath;
        for (const PortDeviceName& device : devices) {
            if (device.devicePath != port.devicePath) {
                continue;
            }
            const int tag = ComPortList::TagOf(device);
            if (tag != ComPortList::kNoTag) {
                std::cout << "  (" << (tag == ComPortList::kTag6700 ? "6700" : "6900") << " USB)";
            }
            if (!device.vendorId.empty()) {
                std::cout << "  " << device.vendorId << ":" << device.productId;
            }
            if (!device.product.empty()) {
                std::cout << "  \"" << device.product << "\"";
            }
            if (!device.serial.empty()) {
                std::cout << "  serial " << device.serial;
            }
        }
        if (port.inUse) {
            std::cout << "  in use";
        } else if (port.noAccess) {
            const std::string group = DeviceAccess::GroupOf(port.path);
            std::cout << "  no access";
            if (!group.empty()) {
                std::cout << " (group " << group << ": sudo usermod -aG " << group << " $USER)";
            }
        }
        std::cout << '\n';
    }
    if (ports.empty()) {
        std::cout << "No COM ports found.\n";
    }
    std::cout.flush();
    return kExitDone;
}

void AddPortsCommand(CLI::App& app, int& exitCode) {
    CLI::App* ports = app.add_subcommand("ports", "List the COM ports present (COM1 to COM255)");
    ports->footer(std::string("COM n is $") + ComPortPath::kDirVariable +
                  "/comN when that entry exists, else /dev/ttyS(n-1) for COM1-32,\n"
                  "/dev/ttyUSB(n-33) for COM33-96, /dev/ttyACM(n-97) for COM97-160.\n"
                  "A port another program holds is marked \"in use\"; one this user may not open, "
                  "\"no access\".\n" +
                  ExitCodesFooter("ports: 0 also when no port is present."));
    ports->callback([&exitCode] { exitCode = RunPorts(); });
}

[[maybe_unused]] const bool kRegistered = RegisterToolCommand(AddPortsCommand);

}  // namespace
}  // namespace quillon::tool
