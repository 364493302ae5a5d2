#pragma once

#include <functional>
#include <string>

#include "link/LinkTransport.h"
#include "serial/EventPump.h"
#include "serial/PortComponent.h"

namespace quillon {

// Port mode: the general serial-port component, which sends in the background and offers
// nothing to wait on for its transmit buffer (those waits look again every few milliseconds).
class PortTransport : public LinkTransport {
public:
    PortTransport(EventPump& pump, PortComponent& port);

    // Opens the component and empties both buffers; throws EAPDException as the component does.
    void Open();

    bool PortMode() const override { return true; }
    std::string DevicePath() const override;
    bool IsOpen() const override { return port_.Open(); }
    bool CharReady() override { return IsOpen() && port_.CharReady(); }
    bool ReadByte(uint8_t& byte) override;
    int WaitDescriptor() const override { return IsOpen() ? port_.WaitDescriptor() : -1; }
    int Write(const uint8_t* bytes, int count) override;
    void FinishSending() override;
    void SetBaud(int32_t baudRate) override { port_.SetBaud(baudRate); }
    void Close() override;

    PortComponent& Port() const { return port_; }

    static constexpr int kTransmitPollMs = 5;

private:
    void WaitWhile(const std::function<bool()>& blocked, int64_t giveUpMs);

    EventPump& pump_;
    PortComponent& port_;
};

}  // namespace quillon
