#include "PortDevice.h"

#include <cstdlib>

namespace freqrelay {

namespace {

std::string variableFor(int port) { return "FREQRELAY_PORT" + std::to_string(port); }

const char* mappedDevice(int port) {
    const char* mapped = std::getenv(variableFor(port).c_str());
    return mapped != nullptr && *mapped != '\0' ? mapped : nullptr;
}

}  // namespace

std::string portMappingSource(int port) { return mappedDevice(port) ? variableFor(port) : "the default"; }

std::string devicePathForPort(int port) {
    if (const char* mapped = mappedDevice(port)) {
        return mapped;
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
