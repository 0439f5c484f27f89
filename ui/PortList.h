#pragma once

#include <QString>

class QSerialPortInfo;

namespace freqrelay {

// --list-ports: the serial ports this system has, each with what the system
// tells of it, on standard output.
class PortList {
public:
    static void print();

private:
    // Each system's part: the name a user gives --port (COM3, not \\.\COM3;
    // /dev/ttyUSB0), and a name that survives replugging, or "".
    static QString nameOf(const QSerialPortInfo& port);
    static QString stableNameOf(const QSerialPortInfo& port);
};

}  // namespace freqrelay
