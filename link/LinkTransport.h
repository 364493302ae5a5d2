#pragma once

#include <cstdint>
#include <string>

#include "link/ProtocolTiming.h"

namespace quillon {

class CancelFlag;

// The one way the link session reaches the radio: the program's own serial device (device
// mode) or the general serial-port component (port mode). The session keeps the protocol;
// the transport moves bytes. Every wait a transport makes goes through the event pump.
class LinkTransport {
public:
    virtual ~LinkTransport() = default;

    // Port mode: the serial-port component. The protocol differs a little between the modes.
    virtual bool PortMode() const = 0;
    // The device the transport has open, for traces and messages.
    virtual std::string DevicePath() const = 0;

    virtual bool IsOpen() const = 0;
    virtual bool CharReady() = 0;
    // Reads one byte CharReady announced; false when it could not.
    virtual bool ReadByte(uint8_t& byte) = 0;
    // A descriptor that becomes readable when bytes may have arrived, or -1.
    virtual int WaitDescriptor() const = 0;

    // Sends a block, waiting (through the event pump, at most kTransmitWaitLimitMs) while the
    // line takes no more. Device mode: the byte count that went out, or -1. Port mode: 0 when
    // the component queued the block, else non-zero.
    virtual int Write(const uint8_t* bytes, int count) = 0;
    // Waits until what was written has left, where the transport can tell.
    virtual void FinishSending() = 0;
    virtual void SetBaud(int32_t baudRate) = 0;
    // Closes the line; what is still queued goes out first where the transport can tell.
    virtual void Close() = 0;

    // Waits end at once while `flag` (not owned; may be nullptr) is set.
    void SetCancelFlag(const CancelFlag* flag) { cancel_ = flag; }

    // The longest a send or a close waits for room in (or the draining of) the line.
    static constexpr int kTransmitWaitLimitMs = timing::kTransmitWaitLimitMs;

protected:
    const CancelFlag* cancel_ = nullptr;
};

}  // namespace quillon
