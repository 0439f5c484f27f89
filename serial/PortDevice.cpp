#include "serial/PortDevice.h"

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
#ifdef _WIN32
        return mapped;
#else
        // The serial library looks a bare name up in /dev; saying the full
        // path tells the operator which device is meant.
        const std::string name = mapped;
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
