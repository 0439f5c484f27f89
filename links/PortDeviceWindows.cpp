// The Windows part of the port mapping.
#include "core/Utf16Windows.h"
#include "links/PortDevice.h"

#include <windows.h>

namespace freqrelay {

// Read in UTF-16 and kept in UTF-8, so that no letter is lost to the ANSI code page.
std::string mappedDevice(int port) {
    const std::string narrowName = portVariable(port);
    const std::wstring name(narrowName.begin(), narrowName.end());
    std::wstring mapped(::GetEnvironmentVariableW(name.c_str(), nullptr, 0), L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name.c_str(), mapped.data(), static_cast<DWORD>(mapped.size()));
    return length > 0 && length < mapped.size() ? utf8Text(std::wstring_view(mapped.data(), length)) : std::string();
}

std::string defaultDevice(int port) { return "COM" + std::to_string(port); }

}  // namespace freqrelay
