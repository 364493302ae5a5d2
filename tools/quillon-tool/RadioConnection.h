#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "link/Comm.h"
#include "serial/posix/PollEventPump.h"

namespace quillon::tool {

// The tool's link to a radio: device mode, framed and active, on the port given as a COM number
// (1-255) or a device path. Closed when the object goes.
class RadioConnection {
public:
    RadioConnection();
    ~RadioConnection();
    RadioConnection(const RadioConnection&) = delete;
    RadioConnection& operator=(const RadioConnection&) = delete;

    // Opens at 19200 bit/s and switches the radio and the port to `speed` when it differs.
    // 0 when the link is open; otherwise the exit code (1 the port did not open, 2 a bad --port
    // argument), with the reason written to `err`.
    int Open(const std::string& port, std::ostream& err, int32_t speed = 19200);

    CommSession& Session() { return session_; }
    EventPump& Pump() { return pump_; }

private:
    PollEventPump pump_;
    CommSession session_;
    std::unique_ptr<Timer> timer_;
};

}  // namespace quillon::tool
