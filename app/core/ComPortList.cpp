#include "app/core/ComPortList.h"

#include <vector>

namespace quillon {

ComPortList::ComPortList(PortPresence& presence, PortDeviceNames& names)
    : presence_(presence), names_(names) {}

std::string ComPortList::ItemText(int n, int tag) {
    std::string text = "COM" + std::to_string(n);
    if (tag == kTag6700) {
        text += " (6700 USB)";
    } else if (tag == kTag6900) {
        text += " (6900 USB)";
    }
    return text;
}

int ComPortList::TagOf(const PortDeviceName& device) {
    for (const std::string* name : {&device.description, &device.product}) {
        if (name->find(kName6700) != std::string::npos) {
            return kTag6700;
        }
    }
    for (const std::string* name : {&device.description, &device.product}) {
        if (name->find(kName6900) != std::string::npos) {
            return kTag6900;
        }
    }
    return kNoTag;
}

void ComPortList::RefreshComPorts() {
    std::array<std::string, kPorts> devicePaths;
    for (int n = 1; n <= kPorts; ++n) {
        const size_t i = static_cast<size_t>(n - 1);
        const bool present = presence_.Present(n);
        present_[i] = present ? kFree : kAbsent;
        state_[i] = present ? kFree : kAbsent;
        tag_[i] = kNoTag;
        if (present) {
            devicePaths[i] = presence_.DevicePath(n);
        }
    }
    std::vector<PortDeviceName> devices;
    if (!names_.List(devices)) {
        return;
    }
    for (const PortDeviceName& device : devices) {
        const int tag = TagOf(device);
        if (tag == kNoTag) {
            continue;
        }
        for (size_t i = 0; i < devicePaths.size(); ++i) {
            if (!devicePaths[i].empty() && devicePaths[i] == device.devicePath) {
                tag_[i] = tag;
            }
        }
    }
    for (int n = 1; n <= kPorts; ++n) {
        items_[static_cast<size_t>(n - 1)] = ItemText(n, tag_[static_cast<size_t>(n - 1)]);
    }
    itemCount_ = kPorts;
    selected_ = 0;
}

void ComPortList::Refresh() {
    const int chosen = selected_;
    RefreshComPorts();
    selected_ = chosen;
}

void ComPortList::Choose(int position) {
    selected_ = position;
    if (ItemPresent(position)) {
        return;
    }
    for (int p = 0; p < itemCount_; ++p) {
        if (ItemPresent(p)) {
            selected_ = p;
            return;
        }
    }
}

bool ComPortList::ItemPresent(int position) const {
    return position >= 0 && position < kPorts && present_[static_cast<size_t>(position)] == kFree;
}

int ComPortList::State(int n) const {
    return Valid(n) ? state_[static_cast<size_t>(n - 1)] : kAbsent;
}

void ComPortList::SetState(int n, int state) {
    if (Valid(n)) {
        state_[static_cast<size_t>(n - 1)] = state;
    }
}

int ComPortList::UsbTag(int n) const {
    return Valid(n) ? tag_[static_cast<size_t>(n - 1)] : kNoTag;
}

}  // namespace quillon
