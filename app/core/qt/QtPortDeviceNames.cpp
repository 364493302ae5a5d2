#include "app/core/qt/QtPortDeviceNames.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace quillon {
namespace {

std::string HexId(bool present, quint16 id) {
    return present ? QString("%1").arg(id, 4, 16, QChar('0')).toStdString() : std::string();
}

}  // namespace

bool QtPortDeviceNames::List(std::vector<PortDeviceName>& devices) {
    devices.clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortDeviceName d;
        // The port list compares resolved device paths.
        const QString canonical = QFileInfo(info.systemLocation()).canonicalFilePath();
        d.devicePath = (canonical.isEmpty() ? info.systemLocation() : canonical).toStdString();
        d.description = info.description().toStdString();
        d.manufacturer = info.manufacturer().toStdString();
        d.vendorId = HexId(info.hasVendorIdentifier(), info.vendorIdentifier());
        d.productId = HexId(info.hasProductIdentifier(), info.productIdentifier());
        d.serial = info.serialNumber().toStdString();
        devices.push_back(std::move(d));
    }
    return true;
}

}  // namespace quillon
