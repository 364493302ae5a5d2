#include "link/Comm.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "link/FrameFormat.h"
#include "link/FrameReceiver.h"
#include "link/LinkTrace.h"
#include "link/MessageCodes.h"
#include "serial/CancelFlag.h"

namespace quillon {

namespace {

// While the time-out timer should already have ended a wait but Active is still set (an owner
// whose timer does something else), the wait looks again this often.
constexpr int kOverduePollMs = 50;
// A descriptor that reports readable without a byte to read (a hung-up line) is left alone for
// this long before it is watched again, so such a wait sleeps instead of spinning.
constexpr int kHangUpBackOffMs = 20;
// How many wake-ups in a row that took no time and brought nothing to read make the wait back
// off. One alone proves nothing: a timer of the owner's falling due wakes the wait just so, and
// backing off then would leave a reply unread for the whole back-off.
constexpr int kEmptyWakesBeforeBackOff = 3;

}  // namespace

CommSession::CommSession(EventPump& pump, LineFactory factory)
    : pump_(pump), factory_(std::move(factory)) {}

CommSession::~CommSession() {
    DropLine();
}

void CommSession::UseTimeoutTimer(quillon::Timer& timer) {
    timer.Stop();
    timer.SetCallback([this, &timer] {
        active_ = false;
        timer.Stop();
    });
    timer_ = &timer;
}

void CommSession::SetCancelFlag(const CancelFlag* flag) {
    cancel_ = flag;
}

bool CommSession::Cancelled() const {
    return cancel_ != nullptr && cancel_->Cancelled();
}

void CommSession::Trace(const char* what, const std::string& details) {
    if (trace_ != nullptr) {
        LinkTrace::Event(*trace_, pump_.NowMs(), what, details);
    }
}

// ---- opening and closing ----

bool CommSession::OpenPortMode(SerialLine& line, const std::string& devicePath,
                               std::string& errorText, const LineSettings& settings) {
    DropLine();
    active_ = false;
    idle_ = false;
    line_ = &line;
    portMode_ = true;
    openFailure_ = line.Open(devicePath, settings);
    if (openFailure_.reason != OpenFailure::Reason::None) {
        if (openFailure_.devicePath.empty()) {
            openFailure_.devicePath = devicePath;
        }
        errorText =
            openFailure_.reason == OpenFailure::Reason::Other ? kPortErrorText : kPortInUseText;
        Trace("OPEN-FAILED", devicePath + " port mode: " + openFailure_.Describe());
        return false;
    }
    Trace("OPEN", devicePath + " port mode");
    errorText.clear();
    return true;
}

bool CommSession::StartCommunication(const std::string& devicePath, int32_t baudRate,
                                     bool flowControl, std::string& errorText) {
    active_ = false;
    idle_ = false;
    DropLine();
    openFailure_ = OpenFailure{};
    try {
        owned_ = factory_ ? factory_() : nullptr;
    } catch (...) {
        owned_.reset();
    }
    line_ = owned_.get();
    portMode_ = false;
    if (line_ != nullptr) {
        openFailure_ = line_->Open(devicePath, {baudRate, false, flowControl});
    } else {
        openFailure_.reason = OpenFailure::Reason::Other;
    }
    if (openFailure_.reason != OpenFailure::Reason::None) {
        if (openFailure_.devicePath.empty()) {
            openFailure_.devicePath = devicePath;
        }
        Trace("OPEN-FAILED", openFailure_.Describe());
        errorText = kPortErrorText;
        return false;
    }
    Trace("OPEN", devicePath + " device mode " + std::to_string(baudRate) + " bit/s");
    errorText.clear();
    return true;
}

bool CommSession::Connect(const std::string& devicePath, int32_t baudRate, std::string& errorText) {
    if (!StartCommunication(devicePath, baudRate, false, errorText)) {
        return false;
    }
    SetFraming(1);
    SetActive(true);
    return true;
}

bool CommSession::Connect(SerialLine& portLine, const std::string& devicePath,
                          std::string& errorText) {
    if (!OpenPortMode(portLine, devicePath, errorText)) {
        return false;
    }
    SetFraming(1);
    SetActive(true);
    return true;
}

void CommSession::Close() {
    if (line_ == nullptr) {
        return;
    }
    if (portMode_) {
        // The line stays the caller's: a closed port keeps its place for the next open.
        if (!line_->IsOpen()) {
            return;
        }
        Drain(pump_.NowMs() + kTransmitWaitLimitMs);
        if (line_->IsOpen()) {
            line_->Close();
        }
        receivedPos_ = receivedEnd_ = 0;
        if (timer_ != nullptr) {
            timer_->Stop();
        }
        Trace("CLOSE", line_->DevicePath());
        return;
    }
    Trace("CLOSE", line_->DevicePath());
    DropLine();
}

void CommSession::DropLine() {
    if (owned_) {
        owned_->Close();
        owned_.reset();
    }
    line_ = nullptr;
    receivedPos_ = receivedEnd_ = 0;
}

bool CommSession::LineOpen() const {
    return line_ != nullptr && line_->IsOpen();
}

void CommSession::WaitWhile(const std::function<bool()>& blocked, int64_t giveUpMs) {
    while (blocked()) {
        const int64_t now = pump_.NowMs();
        if (now >= giveUpMs || Cancelled()) {
            return;
        }
        pump_.WaitForActivity(std::min(giveUpMs, now + kTransmitPollMs));
    }
}

void CommSession::Drain(int64_t giveUpMs) {
    WaitWhile([this] { return LineOpen() && line_->Unsent().count > 0; }, giveUpMs);
}

// ---- speeds ----

uint8_t CommSession::RadioSpeedCode(int32_t baudRate) {
    switch (baudRate) {
        case 9600:
            return 0;
        case 38400:
            return 3;
        case 57600:
            return 4;
        case 115200:
            return 5;
        default:
            return 1;  // 19200
    }
}

void CommSession::SetLocalBaud(int32_t baudRate) {
    if (line_ != nullptr) {
        line_->SetSpeed(baudRate);
        Trace("SPEED", std::to_string(baudRate) + " bit/s");
    }
}

void CommSession::SetRadioBaud(int32_t baudRate) {
    const uint8_t code = RadioSpeedCode(baudRate);
    SendMessage(CommMessage::FromCode(linkcontrol::kFamily, linkcontrol::kSetSpeed, &code, 1));
    if (line_ != nullptr) {
        // The 09 00 frame must leave at the old speed, or the radio never sees it: port mode
        // waits until the line has sent it, device mode lets the radio switch first.
        if (portMode_) {
            Drain(pump_.NowMs() + kTransmitWaitLimitMs);
        } else {
            pump_.SleepMs(timing::kRadioSpeedSettleMs);
        }
    }
    SetLocalBaud(baudRate);
}

bool CommSession::ProbeInterface() {
    static constexpr uint8_t kProbeData[] = {0x77, 0x77, 0x77};
    const std::vector<uint8_t> probe =
        frame::BuildFrame(CommMessage::FromCode(linkcontrol::kFamily, linkcontrol::kInterfaceProbe,
                                                kProbeData, sizeof kProbeData),
                          frame::kHeader2Probe);
    CommMessage raw;
    raw.Length = static_cast<int32_t>(probe.size());
    std::copy(probe.begin(), probe.end(), raw.Data);

    SetFraming(0);
    SendMessage(raw);
    SetFraming(1);

    const CommMessage boxReply =
        CommMessage::FromCode(linkcontrol::kFamily, linkcontrol::kInterfaceReply);
    int which = 0;
    const CommMessage reply = ReceiveReply(boxReply, 6, boxReply, 6, which);
    return reply.HasCode(linkcontrol::kFamily, linkcontrol::kInterfaceReply);
}

// ---- sending ----

int CommSession::Transmit(const CommMessage& message) {
    std::vector<uint8_t> bytes;
    if (framing_ != 0) {
        bytes = BuildFrame(message);
    } else {
        const int n = std::clamp(message.Length, 0, CommMessage::kCapacity);
        bytes.assign(message.Data, message.Data + n);
    }
    if (line_ == nullptr) {
        return -1;
    }
    const int count = static_cast<int>(bytes.size());
    if (trace_ != nullptr) {
        // Unframed bytes (the interface-box probe) carry no message code to name.
        LinkTrace::Frame(*trace_, pump_.NowMs(), "TX", bytes.data(), count,
                         framing_ != 0 ? message : CommMessage{});
    }
    return SendBytes(bytes.data(), count);
}

int CommSession::SendBytes(const uint8_t* bytes, int count) {
    // The line takes what it can at once; while it takes nothing the wait goes through the
    // pump, so a stalled line neither freezes the loop nor leaves the pump's clock.
    const int64_t giveUp = pump_.NowMs() + kTransmitWaitLimitMs;
    int done = 0;
    while (done < count) {
        if (!LineOpen()) {
            return -1;
        }
        const LineResult taken = line_->Write(bytes + done, count - done);
        if (!taken.Ok()) {
            return -1;
        }
        done += taken.count;
        const int64_t now = pump_.NowMs();
        if (done >= count || Cancelled() || now >= giveUp) {
            break;
        }
        if (taken.count == 0) {
            const int handle = line_->WaitHandle();
            if (handle >= 0) {
                pump_.WaitForWritable(giveUp, handle);
            } else {
                pump_.WaitForActivity(std::min(giveUp, now + kTransmitPollMs));
            }
        }
    }
    return done;
}

int CommSession::SendMessage(const CommMessage& message) {
    return Transmit(message);
}

int CommSession::SendChecked(const CommMessage& message) {
    const int result = Transmit(message);
    if (PortMode()) {
        // Port mode answers for the whole frame: sent, or not.
        const int whole = framing_ != 0 ? static_cast<int>(BuildFrame(message).size())
                                        : std::clamp(message.Length, 0, CommMessage::kCapacity);
        return result == whole ? 1 : -1;
    }
    return result;
}

int CommSession::SendCode2(uint8_t code1, uint8_t code2, const uint8_t* data, int dataLength) {
    return SendChecked(CommMessage::FromCode(code1, code2, data, dataLength));
}

int CommSession::SendCode1(uint8_t code, const uint8_t* data, int dataLength) {
    CommMessage m;
    m.Data[0] = code;
    m.Length = 1;
    if (data != nullptr && dataLength > 0) {
        const int n = std::min(dataLength, CommMessage::kCapacity - 1);
        std::memcpy(m.Data + 1, data, static_cast<size_t>(n));
        m.Length += n;
    }
    return SendChecked(m);
}

// ---- receiving ----

bool CommSession::FillReceiveBuffer(int& emptyWakes) {
    // Events handled during a wait may have closed the line.
    if (!LineOpen()) {
        return false;
    }
    const LineResult got = line_->Read(received_.data(), static_cast<int>(received_.size()));
    if (!got.Ok()) {
        // The line says it has bytes but cannot give them (a hung-up device): do not rush back.
        emptyWakes = kEmptyWakesBeforeBackOff;
        return false;
    }
    receivedPos_ = 0;
    receivedEnd_ = got.count;
    return got.count > 0;
}

void CommSession::SleepUntilActivity(int64_t expiryMs, int& emptyWakes) {
    const int64_t now = pump_.NowMs();
    int64_t deadline = expiryMs > now ? expiryMs : now + kOverduePollMs;
    int fd = LineOpen() ? line_->WaitHandle() : -1;
    if (emptyWakes >= kEmptyWakesBeforeBackOff) {
        fd = -1;
        deadline = std::min(deadline, now + kHangUpBackOffMs);
    }
    pump_.WaitForActivity(deadline, fd);
    // Woken at once while watching the descriptor, yet nothing to read: after a few of these in
    // a row, back off on the next wait.
    if (fd != -1 && pump_.NowMs() == now && !FillReceiveBuffer(emptyWakes)) {
        emptyWakes = std::min(emptyWakes + 1, kEmptyWakesBeforeBackOff);
    } else {
        emptyWakes = 0;
    }
}

bool CommSession::WaitForFrame(const std::function<bool(const CommMessage&)>& accept,
                               CommMessage& reply) {
    replyReceived_ = false;
    const int64_t expiry = pump_.NowMs() + timeoutMs_;
    if (timer_ != nullptr) {
        timer_->SetInterval(
            static_cast<int>(std::min<uint32_t>(timeoutMs_, std::numeric_limits<int>::max())));
        timer_->Start();
    }
    idle_ = false;
    FrameReceiver receiver;
    int emptyWakes = 0;
    while (active_) {
        pump_.ProcessEvents();
        if (timer_ == nullptr && pump_.NowMs() >= expiry) {
            active_ = false;
        }
        if (Cancelled()) {
            active_ = false;
            idle_ = false;  // a cancelled wait is never "no answer"
            Trace("CANCELLED");
            break;
        }
        if (!active_) {
            break;
        }
        // Bytes read before the line closed are still taken.
        if (receivedPos_ == receivedEnd_) {
            if (!LineOpen()) {
                break;
            }
            if (!FillReceiveBuffer(emptyWakes)) {
                idle_ = true;
                SleepUntilActivity(expiry, emptyWakes);
                continue;
            }
        }
        idle_ = false;
        emptyWakes = 0;
        // The receiver takes bytes until a frame is accepted; the rest waits for the next turn
        // (or the next wait).
        while (receivedPos_ < receivedEnd_ && !replyReceived_) {
            if (!receiver.Feed(received_[static_cast<size_t>(receivedPos_++)])) {
                continue;
            }
            if (trace_ != nullptr) {
                const std::vector<uint8_t> wire = receiver.Wire();
                LinkTrace::Frame(*trace_, pump_.NowMs(), "RX", wire.data(),
                                 static_cast<int>(wire.size()), receiver.Frame());
            }
            if (accept(receiver.Frame())) {
                reply = receiver.Frame();
                replyReceived_ = true;
            }
        }
        if (replyReceived_) {
            break;
        }
    }
    if (!replyReceived_ && trace_ != nullptr && !Cancelled()) {
        Trace("TIMEOUT", std::to_string(timeoutMs_) + " ms" + (idle_ ? " (line idle)" : ""));
    }
    if (timer_ != nullptr) {
        timer_->Stop();
    }
    return replyReceived_;
}

CommMessage CommSession::ReceiveReply(const CommMessage& replyA, int payloadLengthA,
                                      const CommMessage& replyB, int payloadLengthB, int& which) {
    CommMessage reply;
    int matched = -1;
    WaitForFrame(
        [&](const CommMessage& frame) {
            matched = MatchReply(frame, replyA, payloadLengthA, replyB, payloadLengthB);
            return matched >= 0;
        },
        reply);
    which = replyReceived_ ? matched : -1;
    return reply;
}

CommMessage CommSession::ReceiveAnyFrame() {
    CommMessage reply;
    WaitForFrame([](const CommMessage&) { return true; }, reply);
    return reply;
}

int CommSession::Receive(CommMessage& message) {
    CommMessage reply;
    if (!WaitForFrame([](const CommMessage&) { return true; }, reply)) {
        return -1;
    }
    message = reply;
    return 1;
}

int CommSession::ReplyStatus() const {
    if (replyReceived_) {
        return kReplyReceived;
    }
    if (PortMode() && idle_) {
        return kReplyNoAnswer;
    }
    return kReplyWaitEnded;
}

uint16_t CommSession::WordSum(const uint8_t* bytes, int length) {
    uint32_t sum = 0;
    for (int i = 0; i + 1 < length; i += 2) {
        sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    }
    return static_cast<uint16_t>(sum & 0xFFFF);
}

}  // namespace quillon
