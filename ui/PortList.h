#pragma once

#include <QString>

#include <string>

class QSerialPortInfo;

namespace freqrelay {

// The system's serial ports, with what it tells of each, for --list-ports
// and the Setup dialog.
class PortList {
public:
    static void print();
    // Whether the device a port's name gives is there to be opened.
    static bool exists(const std::string& device);
    // The name a user gives --port (COM3, not \\.\COM3; /dev/ttyUSB0), and
    // one that survives replugging, or "".
    static QString nameOf(const QSerialPortInfo& port);
    static QString stableNameOf(const QSerialPortInfo& port);
};

}  // namespace freqrelay
