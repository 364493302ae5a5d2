#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "app/core/Updater.h"
#include "app/core/UpdaterView.h"
#include "link/Comm.h"
#include "serial/EventPump.h"
#include "tools/quillon-tool/PortArgument.h"

namespace quillon::tool {

// The tool's link to a radio, opened by the updater's own assembly and connection: the interface
// box probe of a mobile build, port mode with RS-485 switching where no box answers, device mode
// otherwise. A device path stands in as COM 1. The link is closed when the object goes.
class ToolConnection {
public:
    enum class Result { kOpen, kBadPort, kNotOpened };

    // `view` is what the update logic talks to; without one, the connection's messages are kept
    // for Error() and nothing is shown (the command-line mode's texts).
    explicit ToolConnection(const std::string& port, UpdaterView* view = nullptr);
    ~ToolConnection();
    ToolConnection(const ToolConnection&) = delete;
    ToolConnection& operator=(const ToolConnection&) = delete;

    // Connects as an update does; `lowSpeed` keeps the link at 19200 bit/s. On failure Error()
    // tells why: a bad --port argument, or the updater's message followed by PortProblem().
    Result Open(bool lowSpeed);
    // Open for a command that reports on its own: 0 when the link is open; otherwise the exit
    // code (1 the port did not open, 2 a bad --port argument), with Error() written to `err`.
    int Open(bool lowSpeed, std::ostream& err);

    const std::string& Error() const { return error_; }
    // After a failed open: the port with its COM number and device, why it did not open and
    // the fix, and the ports present (see PortAdvice).
    const std::string& PortProblem() const { return portProblem_; }
    // What to check when the radio on the port does not answer.
    std::string NoAnswerHint() const;
    const std::string& PortName() const { return port_.name; }
    bool UsedPortMode() const;

    Updater& Assembly() { return *updater_; }
    CommSession& Session() { return updater_->Link(); }
    EventPump& Pump() { return *pump_; }

private:
    class Machine;

    PortArgument port_;
    bool portOk_ = false;
    int portNumber_ = 1;  // a device path stands in as COM 1
    std::string error_;
    std::string portProblem_;
    std::unique_ptr<Machine> machine_;  // the view, ports, event loop and lines
    EventPump* pump_ = nullptr;
    std::unique_ptr<Updater> updater_;
};

}  // namespace quillon::tool
