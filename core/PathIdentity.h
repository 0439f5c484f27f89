#pragma once

#include <string>

namespace freqrelay {

// Whether the paths `one` and `other` (UTF-8 on Windows) lead to one file:
// the same file now, or the same place once it is made. A log there would
// feed the relay its own lines. On Unix every link is followed, also one
// whose target does not exist yet; on Windows names compare without regard
// to case, in the full form the system makes of them.
bool pathsLeadToOneFile(const std::string& one, const std::string& other);

// Whether `path` names one of Windows' devices instead of a file: CON,
// PRN, AUX, NUL, COM1 to COM9 or LPT1 to LPT9, in any case, as the last name
// of a path in any folder, also with an extension or a colon after it
// (C:\x\nul.txt, COM1:), or after \\.\ or \\?\, where COM and LPT take any
// number (\\.\COM12). A read there would reach the device, not a file.
// Always false on Unix, where a device is a file the reader turns away.
bool namesADevice(const std::string& path);

// Unix only: the absolute path `path` leads to once every link in it is
// followed, also a link whose target does not exist yet.
std::string pathDestination(const std::string& path);

// Why a log at `path` would reach a serial line, "" when it would not. A log
// there sends its lines to a device as bytes, which a radio takes for
// commands. On Unix a character device is compared by the device itself,
// whatever name or link leads to it; on Linux any other serial port (or
// pseudo-terminal, which may stand in for one) is refused too, unless the
// relay's own standard streams already write to it. On Windows every
// spelling of a COM port (com1, COM1:, \\.\COM1) is that COM port.
// `port1` is the device port 1 names, "" when the relay does not use it.
inline constexpr const char* kLogIsPort1 = "it is port 1, the radio's port";
inline constexpr const char* kLogIsASerialPort = "it is a serial port";
std::string serialLineAt(const std::string& path, const std::string& port1);

// The device `port` names, spelt one way for every way of naming it: where
// its links lead on Unix; on Windows the COM port in capitals (COM1 for com1,
// COM1: and \\.\COM1), or the full name of any other device.
std::string deviceIdentity(const std::string& port);

}  // namespace freqrelay
