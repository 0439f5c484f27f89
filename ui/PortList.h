#pragma once

#include <QString>

class QSerialPortInfo;

namespace freqrelay {

// --list-ports: the system's serial ports, with what it tells of each.
class PortList {
public:
    static void print();

private:
    // The name a user gives --port (COM3, not \\.\COM3; /dev/ttyUSB0), and
    // one that survives replugging, or "".
    static QString nameOf(const QSerialPortInfo& port);
    static QString stableNameOf(const QSerialPortInfo& port);
};

}  // namespace freqrelay
