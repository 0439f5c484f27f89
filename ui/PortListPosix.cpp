#include "ui/PortList.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace freqrelay {

QString PortList::nameOf(const QSerialPortInfo& port) { return port.systemLocation(); }

// The name udev gives a USB adapter, which survives replugging.
QString PortList::stableNameOf(const QSerialPortInfo& port) {
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files)) {
        if (link.canonicalFilePath() == port.systemLocation()) {
            return link.absoluteFilePath();
        }
    }
    return {};
}

}  // namespace freqrelay
