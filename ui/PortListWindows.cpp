#include "ui/PortList.h"

#include "core/PathIdentity.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace freqrelay {

// A COM port is no file to look for: it is there when the system lists it,
// however it is spelt (com3, COM3:, \\.\COM3).
bool PortList::exists(const std::string& device) {
    const auto ports = QSerialPortInfo::availablePorts();
    const QString wanted = QString::fromStdString(deviceIdentity(device));
    return std::any_of(ports.begin(), ports.end(), [&wanted](const QSerialPortInfo& port) {
        return QString::fromStdString(deviceIdentity(port.portName().toStdString()))
                   .compare(wanted, Qt::CaseInsensitive) == 0;
    });
}

QString PortList::nameOf(const QSerialPortInfo& port) { return port.portName(); }

// COM numbers are the names that stay; there is nothing steadier.
QString PortList::stableNameOf(const QSerialPortInfo&) { return {}; }

}  // namespace freqrelay
