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
        if (!session.Connect(kDevicePath, 19200, error)) {
            return false;
        }
        session.SetTimeout(timing::kQueryTimeoutMs);
        return true;
    }

    std::unique_ptr<SerialLine> MakeLine() { return radio.MakeLine(); }

    VirtualEventPump pump;
    sim::InProcessRadio radio;
    std::unique_ptr<Timer> timer = pump.CreateTimer();
    CommSession session{pump, [this] { return MakeLine(); }};
};

}  // namespace quillon::test
