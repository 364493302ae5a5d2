#include "app/core/ComPortList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "app/core/SysfsPortDeviceNames.h"
#include "tests/sim/SimProcess.h"

namespace quillon {
namespace {

class FakePresence : public PortPresence {
public:
    std::map<int, std::string> ports;  // present COM number -> device
    bool Present(int n) override { return ports.count(n) != 0; }
    std::string DevicePath(int n) override { return ports.count(n) != 0 ? ports[n] : ""; }
};

class FakeNames : public PortDeviceNames {
public:
    std::vector<PortDeviceName> devices;
    bool fails = false;
    bool List(std::vector<PortDeviceName>& out) override {
        out = devices;
        return !fails;
    }
};

PortDeviceName Device(const std::string& path, const std::string& description,
                      const std::string& product = "") {
    PortDeviceName d;
    d.devicePath = path;
    d.description = description;
    d.product = product;
    return d;
}

TEST(ComPortListTest, ItemsTagsAndAvailability) {
    struct Case {
        const char* what;
        PortDeviceName device;
        int com5Tag;
    };
    const Case cases[] = {
        {"6700 box by interface name", Device("/dev/ttyUSB4", "USB RPI KVT 6700"), 1},
        {"6900 box by product", Device("/dev/ttyUSB4", "", "Kelvane USB RPI KVT 6900 rev B"), 2},
        {"other adapter", Device("/dev/ttyUSB4", "FT232R USB UART", "USB-Serial"), 0},
        {"box on a port that is not present", Device("/dev/ttyUSB9", "USB RPI KVT 6900"), 0},
    };
    for (const Case& c : cases) {
        FakePresence presence;
        presence.ports = {{1, "/dev/ttyS0"}, {5, "/dev/ttyUSB4"}};
        FakeNames names;
        names.devices = {Device("/dev/ttyS0", ""), c.device};
        ComPortList list(presence, names);
        list.RefreshComPorts();
        ASSERT_EQ(list.ItemCount(), 255) << c.what;
        EXPECT_EQ(list.Item(0), "COM1") << c.what;
        EXPECT_EQ(list.Item(4), ComPortList::ItemText(5, c.com5Tag)) << c.what;
        EXPECT_EQ(list.UsbTag(5), c.com5Tag) << c.what;
        EXPECT_EQ(list.Item(254), "COM255");
        EXPECT_EQ(list.Selected(), 0);
        for (int p = 0; p < 255; ++p) {
            EXPECT_EQ(list.ItemAvailable(p, true), p == 0 || p == 4) << p;
            EXPECT_FALSE(list.ItemAvailable(p, false));
        }
        EXPECT_EQ(list.State(1), ComPortList::kFree);
        EXPECT_EQ(list.State(2), ComPortList::kAbsent);
    }
    EXPECT_EQ(ComPortList::ItemText(5, 1), "COM5 (6700 USB)");
    EXPECT_EQ(ComPortList::ItemText(17, 2), "COM17 (6900 USB)");
    EXPECT_EQ(ComPortList::ItemText(255, 0), "COM255");
}

TEST(ComPortListTest, ChoiceRules) {
    FakePresence presence;
    presence.ports = {{3, "/dev/ttyS2"}, {5, "/dev/ttyUSB4"}};
    FakeNames names;
    ComPortList list(presence, names);
    list.RefreshComPorts();

    list.Choose(4);  // present: kept
    EXPECT_EQ(list.Selected(), 4);
    list.Choose(9);  // grey: the first present item
    EXPECT_EQ(list.Selected(), 2);

    // The menu refresh keeps the position even when the port has gone.
    list.Choose(4);
    presence.ports.erase(5);
    list.Refresh();
    EXPECT_EQ(list.Selected(), 4);
    EXPECT_FALSE(list.ItemPresent(4));
    EXPECT_EQ(list.State(5), ComPortList::kAbsent);

    // Nothing present: the choice stays.
    presence.ports.clear();
    list.Refresh();
    list.Choose(7);
    EXPECT_EQ(list.Selected(), 7);
}

TEST(ComPortListTest, UnlistableNamesTagNothingAndKeepTheItems) {
    FakePresence presence;
    presence.ports = {{5, "/dev/ttyUSB4"}};
    FakeNames names;
    names.devices = {Device("/dev/ttyUSB4", "USB RPI KVT 6700")};
    ComPortList list(presence, names);
    list.RefreshComPorts();
    ASSERT_EQ(list.UsbTag(5), 1);
    list.Select(4);
    names.devices = {Device("/dev/ttyUSB4", "USB RPI KVT 6900")};
    names.fails = true;
    list.RefreshComPorts();
    EXPECT_EQ(list.UsbTag(5), 0);
    EXPECT_EQ(list.Item(4), "COM5 (6700 USB)");  // not refilled
    EXPECT_EQ(list.Selected(), 4);
    EXPECT_EQ(list.State(5), ComPortList::kFree);  // presence was still rebuilt
}

// A made-up /sys: a usb-serial adapter (tty under a port under the interface) and an ACM
// device (tty under the interface), each below its USB device.
TEST(SysfsPortDeviceNamesTest, ReadsNamesFromTheUsbDevice) {
    namespace fs = std::filesystem;
    sim::testing::TempDir sys;
    const fs::path root = sys.Path();
    auto write = [](const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << "\n";
    };
    const fs::path usb1 = root / "devices/pci0/usb1/1-1";
    write(usb1 / "idVendor", "0403");
    write(usb1 / "idProduct", "6001");
    write(usb1 / "product", "USB RPI KVT 6700");
    write(usb1 / "serial", "A10K3");
    fs::create_directories(usb1 / "1-1:1.0/ttyUSB0");
    const fs::path usb2 = root / "devices/pci0/usb1/1-2";
    write(usb2 / "idVendor", "2341");
    write(usb2 / "idProduct", "0043");
    write(usb2 / "product", "Generic");
    write(usb2 / "1-2:1.0/interface", "USB RPI KVT 6900");
    fs::create_directories(root / "class/tty/ttyUSB0");
    fs::create_directories(root / "class/tty/ttyACM0");
    fs::create_directories(root / "class/tty/tty1");  // no device behind it
    fs::create_directory_symlink(usb1 / "1-1:1.0/ttyUSB0", root / "class/tty/ttyUSB0/device");
    fs::create_directory_symlink(usb2 / "1-2:1.0", root / "class/tty/ttyACM0/device");

    SysfsPortDeviceNames names(root.string(), "/dev");
    std::vector<PortDeviceName> devices;
    ASSERT_TRUE(names.List(devices));
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].devicePath, "/dev/ttyACM0");
    EXPECT_EQ(devices[0].description, "USB RPI KVT 6900");
    EXPECT_EQ(devices[0].vendorId, "2341");
    EXPECT_EQ(ComPortList::TagOf(devices[0]), 2);
    EXPECT_EQ(devices[1].devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(devices[1].product, "USB RPI KVT 6700");
    EXPECT_EQ(devices[1].productId, "6001");
    EXPECT_EQ(devices[1].serial, "A10K3");
    EXPECT_EQ(ComPortList::TagOf(devices[1]), 1);

    SysfsPortDeviceNames missing(root.string() + "/nowhere", "/dev");
    EXPECT_FALSE(missing.List(devices));
}

}  // namespace
}  // namespace quillon
