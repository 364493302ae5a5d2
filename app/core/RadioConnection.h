#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/core/ComPortList.h"
#include "app/core/UpdaterView.h"
#include "link/Comm.h"
#include "serial/SerialLine.h"

namespace quillon {

// Opens the link to the radio on the chosen port over the transport the build and the
// hardware call for: device mode for portable builds and for mobile builds behind an interface
// box; port mode with RS-485 switching for a mobile build without a box, which only a
// one-processor machine can drive in time.
class RadioConnection {
public:
    static constexpr char kCaption[] = "COM Port";
    static constexpr char kPortNotAvailable[] = "Selected COM port is in use or not available.";
    static constexpr char kMultiProcessor[] =
        "Quillon Code Updater will not work with the current configuration.\n\n"
        "Either connect to the radio using RPI Box 417-2260-318 (which can\n"
        "be purchased from Kelvane), or use a computer that does not\n"
        "have a multi-core processor or hyperthreading enabled.";
    static constexpr int32_t kLowSpeed = 19200;
    static constexpr int32_t kHighSpeed = 115200;

    // The build: model 0 (portable) or 1 (mobile), and its radio type code.
    struct Build {
        uint8_t radioModel = 0;
        uint8_t radioType = 0;
    };

    // `port` is the line port mode opens (null when the program has none: port mode then fails
    // as an open failure). `processors` gives the processor count.
    RadioConnection(CommSession& link, UpdaterView& view, ComPortList& ports, SerialLine* port,
                    std::function<int()> processors);

    // Chooses the port (command-line mode: `consolePort`; otherwise the list's choice after a
    // refresh), checks it and opens the link. `lowSpeed` keeps the link at 19200 bit/s. False
    // when nothing is open; the reason has been shown.
    bool ConnectToRadio(bool lowSpeed, const Build& build, int consolePort = 0);

    // After the update: closes the link (errors ignored) and frees the port.
    void CloseAndFree();

    // The COM number of the last connection (0 before one).
    int PortNumber() const { return portNumber_; }
    // Whether the last connection was port mode.
    bool UsedPortMode() const { return link_.PortMode(); }
    // Why the last connection failed, whether or not it was shown ("" after a success).
    const std::string& LastError() const { return lastError_; }

private:
    bool StartDeviceMode(std::string& error);
    bool OpenPortMode(bool lowSpeed, const Build& build);
    bool Fail(const std::string& error, bool show);

    CommSession& link_;
    UpdaterView& view_;
    ComPortList& ports_;
    SerialLine* port_;
    std::function<int()> processors_;
    int portNumber_ = 0;
    std::string lastError_;
};

}  // namespace quillon
