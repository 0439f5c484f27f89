#pragma once

#include <string>

namespace freqrelay {

// The device behind serial port `port`: the variable FREQRELAY_PORT<port>
// when set (a USB adapter, a pseudo-terminal), else /dev/ttyS<port-1> on
// Linux, COM<port> on Windows and "" (unmapped) on macOS, which has no such
// numbering. Outside Windows a bare name ("ttyUSB0") is the device in /dev.
std::string devicePathForPort(int port);

// Where devicePathForPort(port) comes from: the variable's name or "the default".
std::string portMappingSource(int port);

// The variable that maps port `port`: FREQRELAY_PORT1 for port 1.
std::string portVariable(int port);
// Each system's part: the device the variable names, "" when it is not
// set; and the system's own device for the port, "" when it has none.
std::string mappedDevice(int port);
std::string defaultDevice(int port);

}  // namespace freqrelay
