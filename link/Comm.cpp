#include "link/Comm.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "link/FrameFormat.h"
#include "link/FrameReceiver.h"

namespace quillon {

namespace {

// While the time-out timer should already have ended a wait but Active is still set (an owner
// whose timer does something else), the wait looks again this often.
constexpr int kOverduePollMs = 50;
// A descriptor that reports readable without a byte to read (a hung-up line) is left alone for
// this long before it is watched again, so such a wait sleeps instead of spinning.
constexpr int kHangUpBackOffMs = 20;
// Waits for room in, or the draining of, the component's transmit buffer look again this often;
// the component offers nothing to wait on.
constexpr int kTransmitPollMs = 5;

}  // namespace

CommSession::CommSession(EventPump& pump, DeviceFactory factory)
    : pump_(pump), factory_(std::move(factory)) {}

CommSession::~CommSession() {
    DropDevice();
}

void CommSession::UseTimeoutTimer(quillon::Timer& timer) {
    timer.Stop();
    timer.SetCallback([this, &timer] {
        active_ = false;
        timer.Stop();
    });
    timer_ = &timer;
}

// ---- opening and closing ----

bool CommSession::OpenWithPortComponent(PortComponent& port, std::string& errorText) {
    DropDevice();
    portMode_ = true;
    active_ = false;
    idle_ = false;
    port_ = &port;
    try {
        port.SetOpen(true);
        port.FlushInBuffer();
        port.FlushOutBuffer();
    } catch (const EAPDException& e) {
        errorText =
            e.ErrorCode() == EAPDException::kPortInUseOrMissing ? kPortInUseText : kPortErrorText;
        return false;
    }
    errorText.clear();
    return true;
}

bool CommSession::StartCommunication(int portNumber, int32_t baudRate, bool flowControl,
                                     std::string& errorText) {
    active_ = false;
    idle_ = false;
    portMode_ = false;
    DropDevice();
    bool opened = false;
    try {
        LinkDevice link = factory_ ? factory_() : LinkDevice{};
        device_ = std::move(link.device);
        setDeviceBaud_ = std::move(link.setBaudRate);
        opened =
            device_ && link.openPort && link.openPort(portNumber, BaudIndex(baudRate), flowControl);
    } catch (...) {
        opened = false;
    }
    if (!opened) {
        errorText = kPortErrorText;
        return false;
    }
    errorText.clear();
    return true;
}

void CommSession::Close() {
    if (!portMode_) {
        DropDevice();
        return;
    }
    if (port_ == nullptr || !port_->Open()) {
        return;
    }
    WaitPortWhile([this] { return port_->Open() && port_->OutBuffUsed() > 0; },
                  pump_.NowMs() + kTransmitWaitLimitMs);
    if (timer_ != nullptr) {
        timer_->Stop();
    }
    if (port_->Open()) {
        port_->FlushInBuffer();
        port_->FlushOutBuffer();
        port_->SetOpen(false);
    }
}

void CommSession::DropDevice() {
    if (device_ && device_->IsOpen()) {
        device_->Close();
    }
    device_.reset();
    setDeviceBaud_ = nullptr;
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
    if (portMode_) {
        if (port_ != nullptr) {
            port_->SetBaud(baudRate);
        }
    } else if (device_ && setDeviceBaud_) {
        setDeviceBaud_(BaudIndex(baudRate));
    }
}

void CommSession::SetRadioBaud(int32_t baudRate) {
    const uint8_t code = RadioSpeedCode(baudRate);
    SendMessage(CommMessage::FromCode(0x09, 0x00, &code, 1));
    if (!portMode_) {
        // Let the radio switch before our side does.
        pump_.SleepMs(100);
    } else if (port_ != nullptr) {
        // The component sends in the background: the speed change must wait until the 09 00
        // frame has left at the old speed, or the radio never sees it.
        WaitPortWhile([this] { return port_->Open() && port_->OutBuffUsed() > 0; },
                      pump_.NowMs() + kTransmitWaitLimitMs);
    }
    SetLocalBaud(baudRate);
}

bool CommSession::ProbeInterface() {
    static constexpr uint8_t kProbeData[] = {0x77, 0x77, 0x77};
    const std::vector<uint8_t> probe = frame::BuildFrame(
        CommMessage::FromCode(0x09, 0x01, kProbeData, sizeof kProbeData), frame::kHeader2Probe);
    CommMessage raw;
    raw.Length = static_cast<int32_t>(probe.size());
    std::copy(probe.begin(), probe.end(), raw.Data);

    SetFraming(0);
    SendMessage(raw);
    SetFraming(1);

    const CommMessage boxReply = CommMessage::FromCode(0x09, 0x02);
    int which = 0;
    const CommMessage reply = ReceiveReply(boxReply, 6, boxReply, 6, which);
    return reply.HasCode(0x09, 0x02);
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
    const int count = static_cast<int>(bytes.size());
    if (portMode_) {
        return PortTransmit(bytes.data(), count);
    }
    if (!device_) {
        return -1;
    }
    return device_->Write(bytes.data(), count);
}

int CommSession::PortTransmit(const uint8_t* bytes, int count) {
    if (port_ == nullptr || !port_->Open()) {
        return -1;
    }
    const int64_t giveUp = pump_.NowMs() + kTransmitWaitLimitMs;
    WaitPortWhile([&] { return port_->Open() && port_->OutBuffFree() < count; }, giveUp);
    WaitPortWhile([&] { return port_->Open() && port_->RS485Mode() && port_->CTS(); }, giveUp);
    if (!port_->Open() || port_->OutBuffFree() < count || (port_->RS485Mode() && port_->CTS())) {
        return -1;  // the port closed, or the line stayed blocked
    }
    return port_->PutBlock(bytes, count);
}

void CommSession::WaitPortWhile(const std::function<bool()>& blocked, int64_t giveUpMs) {
    while (blocked()) {
        const int64_t now = pump_.NowMs();
        if (now >= giveUpMs) {
            return;
        }
        pump_.WaitForActivity(std::min(giveUpMs, now + kTransmitPollMs));
    }
}

int CommSession::SendMessage(const CommMessage& message) {
    return Transmit(message);
}

int CommSession::SendChecked(const CommMessage& message) {
    const int result = Transmit(message);
    if (portMode_) {
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
    if (portMode_) {
        return port_ != nullptr && port_->Open();
    }
    return device_ && device_->IsOpen();
}

bool CommSession::TransportCharReady() {
    // Events handled during a wait may have closed the link and destroyed the device.
    if (!TransportOpen()) {
        return false;
    }
    return portMode_ ? port_->CharReady() : device_->CharReady();
}

bool CommSession::TransportReadByte(uint8_t& byte) {
    if (portMode_) {
        byte = port_->GetChar();
        return true;
    }
    return device_->ReadByte(&byte) == 1;
}

int CommSession::TransportWaitDescriptor() const {
    if (!TransportOpen()) {
        return -1;
    }
    return portMode_ ? port_->WaitDescriptor() : device_->WaitDescriptor();
}

void CommSession::SleepUntilActivity(int64_t expiryMs, bool& backOff) {
    const int64_t now = pump_.NowMs();
    int64_t deadline = expiryMs > now ? expiryMs : now + kOverduePollMs;
    int fd = TransportWaitDescriptor();
    if (backOff) {
        fd = -1;
        deadline = std::min(deadline, now + kHangUpBackOffMs);
    }
    pump_.WaitForActivity(deadline, fd);
    // Woken at once by the descriptor, yet nothing to read: back off on the next wait.
    backOff = fd != -1 && pump_.NowMs() == now && !TransportCharReady();
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
    bool backOff = false;
    while (active_) {
        pump_.ProcessEvents();
        if (timer_ == nullptr && pump_.NowMs() >= expiry) {
            active_ = false;
        }
        if (!active_ || !TransportOpen()) {
            break;
        }
        if (!TransportCharReady()) {
            idle_ = true;
            SleepUntilActivity(expiry, backOff);
            continue;
        }
        idle_ = false;
        uint8_t byte = 0;
        if (!TransportReadByte(byte)) {
            // A byte was announced but could not be read: do not rush back.
            backOff = true;
            SleepUntilActivity(expiry, backOff);
            continue;
        }
        if (receiver.Feed(byte) && accept(receiver.Frame())) {
            reply = receiver.Frame();
            replyReceived_ = true;
            break;
        }
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
    if (portMode_ && idle_) {
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
