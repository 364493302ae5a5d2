#pragma once

// A link session on the virtual clock connected to the in-process virtual radio in device mode:
// the fixture download, transfer and workflow tests share.

#include <memory>
#include <string>
#include <utility>

#include "link/Comm.h"
#include "link/ProtocolTiming.h"
#include "serial/VirtualEventPump.h"
#include "sim/InProcessRadio.h"

namespace quillon::test {

// The speed in bit/s of a device baud-rate index (the inverse of CommSession::BaudIndex).
inline uint32_t SpeedOfBaudIndex(uint8_t index) {
    switch (index) {
        case 12:
            return 9600;
        case 15:
            return 38400;
        case 17:
            return 57600;
        case 19:
            return 115200;
        default:
            return 19200;
    }
}

struct InProcessLink {
    static constexpr char kDevicePath[] = "/dev/virtual-radio";

    explicit InProcessLink(sim::RadioConfig config = {}) : radio(pump, std::move(config)) {
        session.UseTimeoutTimer(*timer);
    }
    // The radio writes its frame log to `log`.
    InProcessLink(sim::RadioConfig config, sim::FrameLog& log)
        : radio(pump, std::move(config), log) {
        session.UseTimeoutTimer(*timer);
    }

    // Opens device mode at 19200 bit/s, framed and active, as the connection code does.
    bool Connect(std::string& error) {
        if (!session.StartCommunication(kDevicePath, 19200, false, error)) {
            return false;
        }
        session.SetFraming(1);
        session.SetActive(true);
        session.SetTimeout(timing::kQueryTimeoutMs);
        return true;
    }

    LinkDevice MakeDevice() {
        LinkDevice link;
        auto device = radio.MakeDevice();
        KVTCommDevice* raw = device.get();
        link.openPort = [this, raw](const std::string&, uint8_t baudIndex, bool) {
            radio.SetHostSpeed(SpeedOfBaudIndex(baudIndex));
            return raw->Open() == 1;
        };
        link.setBaudRate = [this](uint8_t index) { radio.SetHostSpeed(SpeedOfBaudIndex(index)); };
        link.device = std::move(device);
        return link;
    }

    VirtualEventPump pump;
    sim::InProcessRadio radio;
    std::unique_ptr<Timer> timer = pump.CreateTimer();
    CommSession session{pump, [this] { return MakeDevice(); }};
};

}  // namespace quillon::test
