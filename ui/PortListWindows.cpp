#include "ui/PortList.h"

#include <QSerialPortInfo>

namespace freqrelay {

QString PortList::nameOf(const QSerialPortInfo& port) { return port.portName(); }

// COM numbers are the names that stay; there is nothing steadier.
QString PortList::stableNameOf(const QSerialPortInfo&) { return {}; }

}  // namespace freqrelay
