#include "serial/posix/SerialDeviceFactory.h"

#include "serial/posix/KVTCommDeviceSerial.h"

namespace quillon {

DeviceFactory SerialDeviceFactory() {
    return [] {
        auto serial = std::make_unique<KVTCommDeviceSerial>();
        KVTCommDeviceSerial* device = serial.get();
        LinkDevice link;
        link.openPort = [device](const std::string& path, uint8_t baudIndex, bool flowControl) {
            return device->OpenPath(path, baudIndex, flowControl);
        };
        link.setBaudRate = [device](uint8_t baudIndex) { device->SetBaudRate(baudIndex); };
        link.openFailure = [device] { return device->LastOpenFailure(); };
        link.device = std::move(serial);
        return link;
    };
}

}  // namespace quillon
