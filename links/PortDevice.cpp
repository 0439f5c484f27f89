#include "links/PortDevice.h"

namespace freqrelay {

std::string portDevice(const std::string& name) {
#ifdef _WIN32
    return name;
#else
    // Saying the full path tells the operator which device is meant.
    const bool bare = !name.empty() && !name.starts_with('/') && !name.starts_with("./") && !name.starts_with("../");
    return bare ? "/dev/" + name : name;
#endif
}

std::string defaultDevice(int port) {
#if defined(_WIN32)
    return "COM" + std::to_string(port);
#elif defined(__APPLE__)
    // macOS names serial devices after their adapters: no device is port 1.
    (void)port;
    return {};
#else
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

}  // namespace freqrelay
