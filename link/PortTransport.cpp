#include "link/PortTransport.h"

#include <algorithm>

#include "serial/CancelFlag.h"

namespace quillon {

PortTransport::PortTransport(EventPump& pump, PortComponent& port) : pump_(pump), port_(port) {}

void PortTransport::Open() {
    port_.SetOpen(true);
    port_.FlushInBuffer();
    port_.FlushOutBuffer();
}

std::string PortTransport::DevicePath() const {
    return port_.DevicePath().empty() ? "COM" + std::to_string(port_.ComNumber())
                                      : port_.DevicePath();
}

bool PortTransport::ReadByte(uint8_t& byte) {
    if (!IsOpen()) {
        return false;
    }
    byte = port_.GetChar();
    return true;
}

int PortTransport::Write(const uint8_t* bytes, int count) {
    if (!port_.Open()) {
        return -1;
    }
    const int64_t giveUp = pump_.NowMs() + kTransmitWaitLimitMs;
    WaitWhile([&] { return port_.Open() && port_.OutBuffFree() < count; }, giveUp);
    WaitWhile([&] { return port_.Open() && port_.RS485Mode() && port_.CTS(); }, giveUp);
    if (!port_.Open() || port_.OutBuffFree() < count || (port_.RS485Mode() && port_.CTS())) {
        return -1;  // the port closed, the line stayed blocked, or the wait was cancelled
    }
    return port_.PutBlock(bytes, count);
}

void PortTransport::FinishSending() {
    // The component sends in the background: wait until the transmit buffer has drained.
    WaitWhile([this] { return port_.Open() && port_.OutBuffUsed() > 0; },
              pump_.NowMs() + kTransmitWaitLimitMs);
}

void PortTransport::Close() {
    if (!port_.Open()) {
        return;
    }
    FinishSending();
    if (port_.Open()) {
        port_.FlushInBuffer();
        port_.FlushOutBuffer();
        port_.SetOpen(false);
    }
}

void PortTransport::WaitWhile(const std::function<bool()>& blocked, int64_t giveUpMs) {
    while (blocked()) {
        const int64_t now = pump_.NowMs();
        if (now >= giveUpMs || (cancel_ != nullptr && cancel_->Cancelled())) {
            return;
        }
        pump_.WaitForActivity(std::min(giveUpMs, now + kTransmitPollMs));
    }
}

}  // namespace quillon
