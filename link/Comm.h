#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/CommMessage.h"
#include "link/LinkTransport.h"
#include "link/ProtocolTiming.h"
#include "serial/EventPump.h"
#include "serial/KVTCommDevice.h"
#include "serial/LinkDevice.h"
#include "serial/OpenFailure.h"
#include "serial/PortComponent.h"
#include "serial/TraceSink.h"

namespace quillon {

// How a receive wait ended (ReplyStatus).
enum ReplyStatusValue : int {
    kReplyReceived = 1,  // a reply arrived
    kReplyNoAnswer = 2,  // port mode, and nothing was arriving when the wait ended
    kReplyWaitEnded = 4  // any other end: time-out while bytes arrived, device-mode time-out,
                         // transport closed
};

class CancelFlag;

// The link to the radio. Frames messages, sends them over one transport (device mode: the
// program's own serial device; port mode: the serial-port component), and waits for replies
// until a time-out clears Active. Every wait goes through the event pump and sleeps between
// bytes.
class CommSession {
public:
    static constexpr char kPortInUseText[] = "The chosen COM port is in use or not available";
    static constexpr char kPortErrorText[] = "Unable to start communication: COM port error";

    // Device mode uses the devices that `factory` makes (programs pass SerialDeviceFactory()).
    CommSession(EventPump& pump, DeviceFactory factory);
    ~CommSession();
    CommSession(const CommSession&) = delete;
    CommSession& operator=(const CommSession&) = delete;

    // The time-out timer (not owned). Its expiry must clear Active and stop it; UseTimeoutTimer
    // sets that up. Without a timer the session ends its waits after TimeoutMs by itself.
    void SetTimer(quillon::Timer* timer) { timer_ = timer; }
    // Makes `timer` the time-out timer, with an expiry that clears Active and stops the timer.
    void UseTimeoutTimer(quillon::Timer& timer);

    // Opening and closing. Ports open by device path; the front end resolves a COM number.
    // After a failed open, LastOpenFailure tells why as far as the device layer knows.
    bool OpenWithPortComponent(PortComponent& port, std::string& errorText);
    bool StartCommunication(const std::string& devicePath, int32_t baudRate, bool flowControl,
                            std::string& errorText);
    void Close();
    const OpenFailure& LastOpenFailure() const { return openFailure_; }

    // While `flag` (not owned; nullptr for none) is set, every wait ends at once: a receive
    // clears Active and ends with ReplyStatus 4.
    void SetCancelFlag(const CancelFlag* flag);
    // Where the protocol trace goes (not owned; nullptr for none). A session starts with the
    // process-wide sink.
    void SetTrace(TraceSink* sink) { trace_ = sink; }

    // Settings.
    void SetActive(bool active) { active_ = active; }
    bool SetTimeout(uint32_t ms) {
        timeoutMs_ = ms;
        return true;
    }
    void SetFraming(uint32_t framing) { framing_ = framing; }
    void SetLocalBaud(int32_t baudRate);
    void SetRadioBaud(int32_t baudRate);

    // True when a programming interface box answers the probe frame.
    bool ProbeInterface();

    // Sending.
    int SendMessage(const CommMessage& message);
    int SendChecked(const CommMessage& message);
    int SendCode2(uint8_t code1, uint8_t code2, const uint8_t* data, int dataLength);
    int SendCode1(uint8_t code, const uint8_t* data, int dataLength);

    // Receiving. `which` is 0 for reply A, 1 for reply B, -1 when no reply came. The payload
    // lengths count the code bytes.
    CommMessage ReceiveReply(const CommMessage& replyA, int payloadLengthA,
                             const CommMessage& replyB, int payloadLengthB, int& which);
    CommMessage ReceiveAnyFrame();
    int Receive(CommMessage& message);
    int ReplyStatus() const;

    // Sum modulo 65536 of the big-endian 16-bit words of `bytes` (a trailing odd byte is left
    // out).
    static uint16_t WordSum(const uint8_t* bytes, int length);

    // The device's baud-rate index for a speed in bit/s (19200 for unknown speeds).
    static uint8_t BaudIndex(int32_t baudRate);
    // The speed code of the 09 00 message (that of 19200 for unknown speeds).
    static uint8_t RadioSpeedCode(int32_t baudRate);

    // State.
    bool Active() const { return active_; }
    bool Idle() const { return idle_; }
    bool PortMode() const { return transport_ && transport_->PortMode(); }
    uint32_t Framing() const { return framing_; }
    PortComponent* Port() const;
    KVTCommDevice* Device() const;
    LinkTransport* Transport() const { return transport_.get(); }
    quillon::Timer* Timer() const { return timer_; }
    uint32_t TimeoutMs() const { return timeoutMs_; }

    // The longest a send or a close waits for room in (or the draining of) the component's
    // transmit buffer before it gives up.
    static constexpr int kTransmitWaitLimitMs = LinkTransport::kTransmitWaitLimitMs;

private:
    bool WaitForFrame(const std::function<bool(const CommMessage&)>& accept, CommMessage& reply);
    void SleepUntilActivity(int64_t expiryMs, int& emptyWakes);
    bool TransportOpen() const;
    bool TransportCharReady();
    bool Cancelled() const;
    int Transmit(const CommMessage& message);
    void DropTransport();
    void Trace(const char* what, const std::string& details = {});

    EventPump& pump_;
    DeviceFactory factory_;

    bool active_ = false;
    bool idle_ = false;
    uint32_t framing_ = 0;
    std::unique_ptr<LinkTransport> transport_;
    quillon::Timer* timer_ = nullptr;
    uint32_t timeoutMs_ = timing::kDefaultReplyTimeoutMs;
    const CancelFlag* cancel_ = nullptr;
    TraceSink* trace_ = TraceSink::Active();
    OpenFailure openFailure_;

    bool replyReceived_ = false;
};

}  // namespace quillon
