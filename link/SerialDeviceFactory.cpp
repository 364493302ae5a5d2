#include "link/Comm.h"
#include "link/LinkDevice.h"
#include "serial/KVTCommDeviceSerial.h"

namespace quillon {

DeviceFactory SerialDeviceFactory() {
    return [] {
        auto serial = std::make_unique<KVTCommDeviceSerial>();
        KVTCommDeviceSerial* device = serial.get();
        LinkDevice link;
        link.openPort = [device](int portNumber, uint8_t baudIndex, bool flowControl) {
            return device->OpenPort(portNumber, baudIndex, flowControl);
        };
        link.setBaudRate = [device](uint8_t baudIndex) { device->SetBaudRate(baudIndex); };
        link.device = std::move(serial);
        return link;
    };
}

// Kept here rather than in Comm.cpp so that programs which always inject their own devices do
// not pull in the serial device.
CommSession::CommSession(EventPump& pump) : CommSession(pump, SerialDeviceFactory()) {}

}  // namespace quillon
