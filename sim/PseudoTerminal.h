#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillon::sim {

// The radio's end of the line: the master side of a pseudo-terminal whose slave device the
// updater opens as its serial port. The radio keeps a descriptor on the slave itself, so the
// updater may close and reopen the device without the master seeing a hang-up.
class PseudoTerminal {
public:
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // A new pseudo-terminal in raw mode at 19200 bit/s; nothing, with a reason, on failure.
    static std::unique_ptr<PseudoTerminal> Open(std::string& error);

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }  // non-blocking

    // Sets the line speed (9600, 19200, 38400, 57600 or 115200) and keeps the other settings.
    bool SetSpeed(uint32_t baud, std::string& error);

private:
    PseudoTerminal() = default;

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace quillon::sim
