#include "link/Comm.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "link/DeviceTransport.h"
#include "link/FrameFormat.h"
#include "link/FrameReceiver.h"
#include "link/LinkTrace.h"
#include "link/MessageCodes.h"
#include "link/PortTransport.h"
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

CommSession::CommSession(EventPump& pump, DeviceFactory factory)
    : pump_(pump), factory_(std::move(factory)) {}

CommSession::~CommSession() {
    DropTransport();
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
    if (transport_) {
        transport_->SetCancelFlag(flag);
    }
}

bool CommSession::Cancelled() const {
    return cancel_ != nullptr && cancel_->Cancelled();
}

void CommSession::Trace(const char* what, const std::string& details) {
    if (trace_ != nullptr) {
        LinkTrace::Event(*trace_, pump_.NowMs(), what, details);
    }
}

PortComponent* CommSession::Port() const {
    auto* port = dynamic_cast<PortTransport*>(transport_.get());
    return port != nullptr ? &port->Port() : nullptr;
}

KVTCommDevice* CommSession::Device() const {
    auto* device = dynamic_cast<DeviceTransport*>(transport_.get());
    return device != nullptr ? device->Device() : nullptr;
}

// ---- opening and closing ----

bool CommSession::OpenWithPortComponent(PortComponent& port, std::string& errorText) {
    DropTransport();
    active_ = false;
    idle_ = false;
    openFailure_ = OpenFailure{};
    auto transport = std::make_unique<PortTransport>(pump_, port);
    transport->SetCancelFlag(cancel_);
    transport_ = std::move(transport);
    try {
        static_cast<PortTransport&>(*transport_).Open();
    } catch (const EAPDException& e) {
        errorText =
            e.ErrorCode() == EAPDException::kPortInUseOrMissing ? kPortInUseText : kPortErrorText;
        openFailure_.reason = OpenFailure::Reason::Other;
        openFailure_.devicePath = transport_->DevicePath();
        Trace("OPEN-FAILED", openFailure_.devicePath + " port mode: " + e.what());
        return false;
    }
    Trace("OPEN", transport_->DevicePath() + " port mode");
    errorText.clear();
    return true;
}

bool CommSession::StartCommunication(const std::string& devicePath, int32_t baudRate,
                                     bool flowControl, std::string& errorText) {
    active_ = false;
    idle_ = false;
    DropTransport();
    openFailure_ = OpenFailure{};
    LinkDevice link;
    try {
        link = factory_ ? factory_() : LinkDevice{};
    } catch (...) {
        link = LinkDevice{};
    }
    auto transport = std::make_unique<DeviceTransport>(pump_, std::move(link));
    transport->SetCancelFlag(cancel_);
    const bool opened = transport->Open(devicePath, BaudIndex(baudRate), flowControl, openFailure_);
    transport_ = std::move(transport);
    if (!opened) {
        Trace("OPEN-FAILED", openFailure_.Describe());
        errorText = kPortErrorText;
        return false;
    }
    Trace("OPEN", devicePath + " device mode " + std::to_string(baudRate) + " bit/s");
    errorText.clear();
    return true;
}

void CommSession::Close() {
    if (!transport_) {
        return;
    }
    if (transport_->PortMode()) {
        // The component stays the caller's, and so does the transport over it: a closed port
        // keeps its place for the next open.
        if (!transport_->IsOpen()) {
            return;
        }
        transport_->Close();
        if (timer_ != nullptr) {
            timer_->Stop();
        }
        Trace("CLOSE", transport_->DevicePath());
        return;
    }
    Trace("CLOSE", transport_->DevicePath());
    DropTransport();
}

void CommSession::DropTransport() {
    if (transport_ && !transport_->PortMode()) {
        transport_->Close();
    }
    transport_.reset();
}

// ---- speeds ----

uint8_t CommSession::BaudIndex(int32_t baudRate) {
    switch (baudRate) {
        case 9600:
            return 12;
        case 38400:
            return 15;
        case 57600:
            return 17;
        case 115200:
            return 19;
        default:
            return 14;  // 19200
    }
}

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
    if (transport_) {
        transport_->SetBaud(baudRate);
        Trace("SPEED", std::to_string(baudRate) + " bit/s");
    }
}

void CommSession::SetRadioBaud(int32_t baudRate) {
    const uint8_t code = RadioSpeedCode(baudRate);
    SendMessage(CommMessage::FromCode(linkcontrol::kFamily, linkcontrol::kSetSpeed, &code, 1));
    if (transport_) {
        // The 09 00 frame must leave at the old speed, or the radio never sees it.
        transport_->FinishSending();
        if (!transport_->PortMode()) {
            // Let the radio switch before our side does.
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
    if (!transport_) {
        return -1;
    }
    const int count = static_cast<int>(bytes.size());
    if (trace_ != nullptr) {
        // Unframed bytes (the interface-box probe) carry no message code to name.
        LinkTrace::Frame(*trace_, pump_.NowMs(), "TX", bytes.data(), count,
                         framing_ != 0 ? message : CommMessage{});
    }
    return transport_->Write(bytes.data(), count);
}

int CommSession::SendMessage(const CommMessage& message) {
    return Transmit(message);
}

int CommSession::SendChecked(const CommMessage& message) {
    const int result = Transmit(message);
    if (PortMode()) {
        return result == 0 ? 1 : -1;
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

bool CommSession::TransportOpen() const {
    return transport_ && transport_->IsOpen();
}

bool CommSession::TransportCharReady() {
    // Events handled during a wait may have closed the link.
    return TransportOpen() && transport_->CharReady();
}

void CommSession::SleepUntilActivity(int64_t expiryMs, int& emptyWakes) {
    const int64_t now = pump_.NowMs();
    int64_t deadline = expiryMs > now ? expiryMs : now + kOverduePollMs;
    int fd = TransportOpen() ? transport_->WaitDescriptor() : -1;
    if (emptyWakes >= kEmptyWakesBeforeBackOff) {
        fd = -1;
        deadline = std::min(deadline, now + kHangUpBackOffMs);
    }
    pump_.WaitForActivity(deadline, fd);
    // Woken at once while watching the descriptor, yet nothing to read: after a few of these in
    // a row, back off on the next wait.
    if (fd != -1 && pump_.NowMs() == now && !TransportCharReady()) {
        ++emptyWakes;
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
        if (!active_ || !TransportOpen()) {
            break;
        }
        if (!TransportCharReady()) {
            idle_ = true;
            SleepUntilActivity(expiry, emptyWakes);
            continue;
        }
        idle_ = false;
        uint8_t byte = 0;
        if (!transport_->ReadByte(byte)) {
            // A byte was announced but could not be read: do not rush back.
            emptyWakes = kEmptyWakesBeforeBackOff;
            SleepUntilActivity(expiry, emptyWakes);
            continue;
        }
        if (!receiver.Feed(byte)) {
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
