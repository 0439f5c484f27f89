#include "serial/PortDevice.h"

#include <cstdlib>

#ifdef _WIN32
#include "core/FileReader.h"

#include <windows.h>
#endif

namespace freqrelay {

namespace {

std::string variableFor(int port) { return "FREQRELAY_PORT" + std::to_string(port); }

// The variable's value, as the relay keeps names: on Windows read in
// UTF-16 and kept in UTF-8, elsewhere the bytes. Empty when it is not set.
std::string mappedDevice(int port) {
#ifdef _WIN32
    const std::string narrowName = variableFor(port);
    const std::wstring name(narrowName.begin(), narrowName.end());
    std::wstring mapped(::GetEnvironmentVariableW(name.c_str(), nullptr, 0), L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name.c_str(), mapped.data(), static_cast<DWORD>(mapped.size()));
    return length > 0 && length < mapped.size() ? utf8Text(std::wstring_view(mapped.data(), length)) : std::string();
#else
    const char* mapped = std::getenv(variableFor(port).c_str());
    return mapped != nullptr ? mapped : std::string();
#endif
}

}  // namespace

std::string portMappingSource(int port) { return !mappedDevice(port).empty() ? variableFor(port) : "the default"; }

std::string devicePathForPort(int port) {
    if (const std::string mapped = mappedDevice(port); !mapped.empty()) {
#ifdef _WIN32
        return mapped;
#else
        // The serial library looks a bare name up in /dev; saying the full
        // path tells the operator which device is meant.
        const std::string& name = mapped;
        const bool bare = name.rfind('/', 0) != 0 && name.rfind("./", 0) != 0 && name.rfind("../", 0) != 0;
        return bare ? "/dev/" + name : name;
#endif
    }
#if defined(_WIN32)
    return "COM" + std::to_string(port);
#elif defined(__APPLE__)
    // macOS names serial devices after their adapters: no device is port 1.
    return {};
#else
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

}  // namespace freqrelay
