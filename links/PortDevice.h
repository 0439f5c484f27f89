#pragma once

#include <string>

namespace freqrelay {

// The device a name given for a port stands for: outside Windows a bare
// name ("ttyUSB0") is the device in /dev, as the serial library looks it up.
std::string portDevice(const std::string& name);

// The system's own device for serial port `port`: /dev/ttyS<port-1> on
// Linux, COM<port> on Windows and "" on macOS, which has no such numbering.
std::string defaultDevice(int port);

}  // namespace freqrelay
