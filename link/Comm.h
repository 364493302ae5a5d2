#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/CommMessage.h"
#include "link/ProtocolTiming.h"
#include "serial/EventPump.h"
#include "serial/OpenFailure.h"
#include "serial/SerialLine.h"
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

// The link to the radio. Frames messages, sends them over one serial line, and waits for
// replies until a time-out clears Active. Every wait goes through the event pump and sleeps
// between bytes.
//
// Device mode opens a fresh line from the factory for each connection. Port mode is the radio
// reached over RS-485 without an interface box, through a line the caller keeps: it sends in
// the background, so the session waits for what it wrote to drain where device mode pauses,
// and a wait that ends while the line is quiet reports "no answer" (ReplyStatus 2).
class CommSession {
public:
    static constexpr char kPortInUseText[] = "The chosen COM port is in use or not available";
    static constexpr char kPortErrorText[] = "Unable to start communication: COM port error";

    // Device mode uses the lines that `factory` makes (programs pass PosixSerialLine::Factory()).
    CommSession(EventPump& pump, LineFactory factory);
    ~CommSession();
    CommSession(const CommSession&) = delete;
    CommSession& operator=(const CommSession&) = delete;

    // The time-out timer (not owned). Its expiry must clear Active and stop it; UseTimeoutTimer
    // sets that up. Without a timer the session ends its waits after TimeoutMs by itself.
    void SetTimer(quillon::Timer* timer) { timer_ = timer; }
    // Makes `timer` the time-out timer, with an expiry that clears Active and stops the timer.
    void UseTimeoutTimer(quillon::Timer& timer);

    // Opening and closing. Ports open by device path; the front end resolves a COM number.
    // After a failed open, LastOpenFailure tells why as far as the line knows.
    //
    // Port mode on `line` (not owned; it stays the caller's after Close), at 19200 bit/s with
    // RS-485 switching unless `settings` say otherwise.
    bool OpenPortMode(SerialLine& line, const std::string& devicePath, std::string& errorText,
                      const LineSettings& settings = {19200, true, false});
    bool StartCommunication(const std::string& devicePath, int32_t baudRate, bool flowControl,
                            std::string& errorText);
    void Close();
    // Opens a connection ready for messages: framed and active. Device mode at `baudRate`
    // without flow control; port mode on `portLine` as OpenPortMode does.
    bool Connect(const std::string& devicePath, int32_t baudRate, std::string& errorText);
    bool Connect(SerialLine& portLine, const std::string& devicePath, std::string& errorText);
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

    // The speed code of the 09 00 message (that of 19200 for unknown speeds).
    static uint8_t RadioSpeedCode(int32_t baudRate);

    // State.
    bool Active() const { return active_; }
    bool Idle() const { return idle_; }
    // Whether the last connection was port mode (still true after its Close).
    bool PortMode() const { return line_ != nullptr && portMode_; }
    uint32_t Framing() const { return framing_; }
    // The line of the connection; in device mode null once closed.
    SerialLine* Line() const { return line_; }
    quillon::Timer* Timer() const { return timer_; }
    uint32_t TimeoutMs() const { return timeoutMs_; }

    // The longest a send or a close waits for room in (or the draining of) the line before it
    // gives up.
    static constexpr int kTransmitWaitLimitMs = timing::kTransmitWaitLimitMs;
    // How often a wait for a line without a wait handle looks again.
    static constexpr int kTransmitPollMs = 5;

private:
    bool WaitForFrame(const std::function<bool(const CommMessage&)>& accept, CommMessage& reply);
    void SleepUntilActivity(int64_t expiryMs, int& emptyWakes);
    bool LineOpen() const;
    // Reads what the line has into the receive buffer; false when nothing came.
    bool FillReceiveBuffer(int& emptyWakes);
    bool Cancelled() const;
    // The count of bytes handed to the line, -1 when it failed or closed.
    int Transmit(const CommMessage& message);
    int SendBytes(const uint8_t* bytes, int count);
    // Waits until what was written has left the line, at most until `giveUpMs`.
    void Drain(int64_t giveUpMs);
    // Sleeps until `blocked` is false, the wait is cancelled or `giveUpMs` passes.
    void WaitWhile(const std::function<bool()>& blocked, int64_t giveUpMs);
    void DropLine();
    void Trace(const char* what, const std::string& details = {});

    EventPump& pump_;
    LineFactory factory_;

    bool active_ = false;
    bool idle_ = false;
    uint32_t framing_ = 0;
    SerialLine* line_ = nullptr;         // the line of the connection
    std::unique_ptr<SerialLine> owned_;  // device mode: the line, made by the factory
    bool portMode_ = false;
    // Bytes read from the line that the frame receiver has not taken yet.
    std::array<uint8_t, 4096> received_{};
    int receivedPos_ = 0;
    int receivedEnd_ = 0;
    quillon::Timer* timer_ = nullptr;
    uint32_t timeoutMs_ = timing::kDefaultReplyTimeoutMs;
    const CancelFlag* cancel_ = nullptr;
    TraceSink* trace_ = TraceSink::Active();
    OpenFailure openFailure_;

    bool replyReceived_ = false;
};

}  // namespace quillon
