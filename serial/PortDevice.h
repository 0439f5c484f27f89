#pragma once

#include <string>

namespace freqrelay {

// The device behind serial port `port`: the environment variable
// FREQRELAY_PORT<port> when it is set (a USB adapter, a pseudo-terminal),
// otherwise the system's own numbering, /dev/ttyS<port-1> on Linux and
// COM<port> on Windows; on macOS, which has no such numbering, "" (unmapped).
// Outside Windows a bare mapped name ("ttyUSB0") is the device in /dev.
std::string devicePathForPort(int port);

// Where devicePathForPort(port) comes from, for telling the operator: the
// variable's name, or "the default".
std::string portMappingSource(int port);

// The variable that maps port `port`: FREQRELAY_PORT1 for port 1.
std::string portVariable(int port);
// Each system's part: the device the variable names (a bare name made a
// path where the system has /dev), "" when it is not set; and the system's
// own device for the port, "" when it has none.
std::string mappedDevice(int port);
std::string defaultDevice(int port);

}  // namespace freqrelay
