#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "link/Comm.h"
#include "serial/PollEventPump.h"

namespace quillon::tool {

// The tool's link to a radio: device mode at 19200 bit/s, framed and active, on the port given
// as a COM number (1-255) or a device path. Closed when the object goes.
class RadioConnection {
public:
    RadioConnection();
    ~RadioConnection();
    RadioConnection(const RadioConnection&) = delete;
    RadioConnection& operator=(const RadioConnection&) = delete;

    // 0 when the link is open; otherwise the exit code (1 the port did not open, 2 a bad --port
    // argument), with the reason written to `err`.
    int Open(const std::string& port, std::ostream& err);

    CommSession& Session() { return session_; }

private:
    class PublishedPath;

    PollEventPump pump_;
    CommSession session_{pump_};
    std::unique_ptr<Timer> timer_;
    std::unique_ptr<PublishedPath> published_;
};

}  // namespace quillon::tool
