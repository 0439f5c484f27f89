#include "ui/PortList.h"

#include "system/Console.h"

#include <QSerialPortInfo>

namespace freqrelay {

void PortList::print() {
    const auto ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        Console::write(stdout, QStringLiteral("No serial ports found.\n"));
    }
    for (const QSerialPortInfo& port : ports) {
        QString text = nameOf(port) + QLatin1Char('\n');
        const auto add = [&text](const char* label, const QString& value) {
            if (!value.isEmpty()) {
                text += QStringLiteral("    %1: %2\n").arg(QLatin1String(label), value);
            }
        };
        add("description", port.description());
        add("manufacturer", port.manufacturer());
        add("serial number", port.serialNumber());
        add("by-id", stableNameOf(port));
        Console::write(stdout, text);
    }
}

}  // namespace freqrelay
