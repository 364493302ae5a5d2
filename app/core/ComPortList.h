#pragma once

#include <array>
#include <string>

#include "app/core/PortDeviceNames.h"

namespace quillon {

// What the port list asks the machine about COM n.
class PortPresence {
public:
    virtual ~PortPresence() = default;
    // Whether COM n is there: its device exists and opens as a terminal (not held by another
    // program).
    virtual bool Present(int n) = 0;
    // The device COM n opens (symbolic links resolved, so it matches the device names); ""
    // when it has none.
    virtual std::string DevicePath(int n) = 0;
};

// The COM port list of the main window (m_ComportComboBox and the lists behind it): 255
// positions, position n-1 for COM n.
class ComPortList {
public:
    static constexpr int kPorts = 255;
    // Port states.
    static constexpr int kAbsent = 0;
    static constexpr int kInUseHere = 1;
    static constexpr int kFree = 2;
    // USB tags.
    static constexpr int kNoTag = 0;
    static constexpr int kTag6700 = 1;
    static constexpr int kTag6900 = 2;
    static constexpr char kName6700[] = "USB RPI KVT 6700";
    static constexpr char kName6900[] = "USB RPI KVT 6900";

    ComPortList(PortPresence& presence, PortDeviceNames& names);

    // Rebuilds presence, states and tags, and refills the items (position 0 chosen). When the
    // device names cannot be listed, no port is tagged and the items stay as they were.
    void RefreshComPorts();
    // The menu's refresh: keeps the chosen position, even when that port has gone.
    void Refresh();
    // A new choice: an item that is not present moves the choice to the first present item;
    // with none present the choice stays.
    void Choose(int position);

    // "COM5", "COM5 (6700 USB)", "COM7 (6900 USB)".
    static std::string ItemText(int n, int tag);
    // The tag of a device from the names it presents.
    static int TagOf(const PortDeviceName& device);

    int ItemCount() const { return itemCount_; }
    const std::string& Item(int position) const { return items_[static_cast<size_t>(position)]; }
    // Drawn in the normal colours (else grey).
    bool ItemAvailable(int position, bool enabled) const {
        return enabled && ItemPresent(position);
    }
    bool ItemPresent(int position) const;
    int Selected() const { return selected_; }
    void Select(int position) { selected_ = position; }

    // Per COM number 1..255.
    int State(int n) const;
    void SetState(int n, int state);
    int UsbTag(int n) const;
    // The device COM n opens ("" when it has none).
    std::string DevicePathOf(int n) { return Valid(n) ? presence_.DevicePath(n) : ""; }

private:
    static bool Valid(int n) { return n >= 1 && n <= kPorts; }

    PortPresence& presence_;
    PortDeviceNames& names_;
    std::array<int, kPorts> present_{};  // per position: 2 found, 0 not
    std::array<int, kPorts> state_{};    // per COM number - 1
    std::array<int, kPorts> tag_{};      // per COM number - 1
    std::array<std::string, kPorts> items_;
    int itemCount_ = 0;
    int selected_ = -1;
};

}  // namespace quillon
