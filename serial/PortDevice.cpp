#include "PortDevice.h"

#include <cstdlib>

namespace freqrelay {

std::string devicePathForPort(int port) {
    const std::string variable = "FREQRELAY_PORT" + std::to_string(port);
    if (const char* mapped = std::getenv(variable.c_str()); mapped != nullptr && *mapped != '\0') {
        return mapped;
    }
#ifdef _WIN32
    return "COM" + std::to_string(port);
#else
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

}  // namespace freqrelay
