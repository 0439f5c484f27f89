// The POSIX part of the port mapping.
#include "links/PortDevice.h"

#include <cstdlib>

namespace freqrelay {

std::string mappedDevice(int port) {
    const char* mapped = std::getenv(portVariable(port).c_str());
    if (mapped == nullptr || *mapped == '\0') {
        return {};
    }
    // The serial library looks a bare name up in /dev; saying the full path
    // tells the operator which device is meant.
    const std::string name = mapped;
    const bool bare = !name.starts_with('/') && !name.starts_with("./") && !name.starts_with("../");
    return bare ? "/dev/" + name : name;
}

std::string defaultDevice(int port) {
#ifdef __APPLE__
    // macOS names serial devices after their adapters: no device is port 1.
    (void)port;
    return {};
#else
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

}  // namespace freqrelay
