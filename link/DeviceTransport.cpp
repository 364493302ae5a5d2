#include "link/DeviceTransport.h"

#include "link/Comm.h"
#include "serial/CancelFlag.h"

namespace quillon {

DeviceTransport::DeviceTransport(EventPump& pump, LinkDevice device)
    : pump_(pump), link_(std::move(device)) {}

DeviceTransport::~DeviceTransport() {
    Close();
}

bool DeviceTransport::Open(const std::string& devicePath, uint8_t baudIndex, bool flowControl,
                           OpenFailure& failure) {
    path_ = devicePath;
    failure = OpenFailure{};
    bool opened = false;
    try {
        opened =
            link_.device && link_.openPort && link_.openPort(devicePath, baudIndex, flowControl);
    } catch (...) {
        opened = false;
    }
    if (!opened) {
        if (link_.openFailure) {
            failure = link_.openFailure();
        }
        if (failure.reason == OpenFailure::Reason::None) {
            failure.reason = OpenFailure::Reason::Other;
        }
        if (failure.devicePath.empty()) {
            failure.devicePath = devicePath;
        }
    }
    return opened;
}

bool DeviceTransport::IsOpen() const {
    return link_.device && link_.device->IsOpen();
}

bool DeviceTransport::CharReady() {
    return IsOpen() && link_.device->CharReady();
}

bool DeviceTransport::ReadByte(uint8_t& byte) {
    return IsOpen() && link_.device->ReadByte(&byte) == 1;
}

int DeviceTransport::WaitDescriptor() const {
    return IsOpen() ? link_.device->WaitDescriptor() : -1;
}

int DeviceTransport::Write(const uint8_t* bytes, int count) {
    if (!link_.device) {
        return -1;
    }
    // The device takes what it can at once; while its queue is full the wait goes through the
    // pump, so a stalled line neither freezes the loop nor leaves the pump's clock.
    const int64_t giveUp = pump_.NowMs() + kTransmitWaitLimitMs;
    int done = 0;
    while (done < count) {
        if (!IsOpen()) {
            return -1;
        }
        const int n = link_.device->WriteSome(bytes + done, count - done);
        if (n < 0) {
            return -1;
        }
        done += n;
        if (done >= count || (cancel_ != nullptr && cancel_->Cancelled()) ||
            pump_.NowMs() >= giveUp) {
            break;
        }
        if (n == 0) {
            pump_.WaitForWritable(giveUp, link_.device->WaitDescriptor());
        }
    }
    return done;
}

void DeviceTransport::SetBaud(int32_t baudRate) {
    if (link_.device && link_.setBaudRate) {
        link_.setBaudRate(CommSession::BaudIndex(baudRate));
    }
}

void DeviceTransport::Close() {
    if (link_.device && link_.device->IsOpen()) {
        link_.device->Close();
    }
}

}  // namespace quillon
