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

}  // namespace freqrelay
