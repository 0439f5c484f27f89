#include "ui/PortList.h"

#include "core/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <filesystem>

namespace freqrelay {

// Any path counts, a pseudo-terminal's or a link's too: opening tells the rest.
bool PortList::exists(const std::string& device) {
    std::error_code error;
    return std::filesystem::exists(systemPath(device), error);
}

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
