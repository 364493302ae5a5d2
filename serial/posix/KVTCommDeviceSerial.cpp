#include "serial/posix/KVTCommDeviceSerial.h"

#include "serial/posix/ComPortPath.h"
#include "serial/posix/DeviceAccess.h"
#include "serial/posix/KVTWinExtSerialPort.h"

namespace quillon {

KVTCommDeviceSerial::KVTCommDeviceSerial() : port_(std::make_unique<KVTWinExtSerialPort>()) {
    deviceKind_ = 2;
}

// The port's own destructor closes it when it is still open.
KVTCommDeviceSerial::~KVTCommDeviceSerial() = default;

bool KVTCommDeviceSerial::OpenPort(int portNumber, uint8_t baudIndex, bool flowControl) {
    const std::string path = ComPortPath::Resolve(portNumber);
    if (path.empty()) {
        // No device answers to that number.
        lastOpenFailure_ = OpenFailure{};
        lastOpenFailure_.reason = OpenFailure::Reason::NoSuchDevice;
        lastOpenFailure_.devicePath = "COM" + std::to_string(portNumber);
        return false;
    }
    return OpenPath(path, baudIndex, flowControl);
}

bool KVTCommDeviceSerial::OpenPath(const std::string& devicePath, uint8_t baudIndex,
                                   bool flowControl) {
    lastOpenFailure_ = OpenFailure{};
    if (devicePath.empty()) {
        lastOpenFailure_.reason = OpenFailure::Reason::NoSuchDevice;
        return false;
    }
    port_->SetPortName(devicePath);
    if (Open() == -1) {
        lastOpenFailure_ = DeviceAccess::Explain(devicePath, port_->SystemError());
        return false;
    }
    port_->SetBaudRate(baudIndex);
    port_->SetDataBits(3);
    port_->SetStopBits(0);
    port_->SetParity(0);
    SetFlowControl(flowControl);
    port_->SetTimeouts(2, 0);
    return true;
}

void KVTCommDeviceSerial::SetBaudRate(uint8_t baudIndex) {
    port_->SetBaudRate(baudIndex);
}

void KVTCommDeviceSerial::SetFlowControl(bool on) {
    flowControl_ = on;
    port_->SetFlowControl(on ? 3 : 0);
}

int KVTCommDeviceSerial::Open() {
    if (!port_->Open()) {
        return -1;
    }
    port_->Flush();
    return 1;
}

int KVTCommDeviceSerial::Close() {
    port_->Flush();
    port_->Close();
    return 1;
}

bool KVTCommDeviceSerial::IsOpen() {
    return port_->IsOpen();
}

bool KVTCommDeviceSerial::CharReady() {
    return port_->PollInQueue() > 0;
}

int KVTCommDeviceSerial::ReadByte(uint8_t* byte) {
    return Read(byte, 1);
}

int KVTCommDeviceSerial::Read(uint8_t* buffer, int count) {
    return port_->Read(buffer, count);
}

int KVTCommDeviceSerial::Write(const uint8_t* buffer, int count) {
    return port_->Write(buffer, count);
}

int KVTCommDeviceSerial::WriteSome(const uint8_t* buffer, int count) {
    return port_->WriteSome(buffer, count);
}

int KVTCommDeviceSerial::LastError() {
    return port_->LastError();
}

int KVTCommDeviceSerial::WaitDescriptor() const {
    return port_->Descriptor();
}

}  // namespace quillon
