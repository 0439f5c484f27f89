#include "links/PortDevice.h"

namespace freqrelay {

std::string portVariable(int port) { return "FREQRELAY_PORT" + std::to_string(port); }

std::string portMappingSource(int port) { return !mappedDevice(port).empty() ? portVariable(port) : "the default"; }

std::string devicePathForPort(int port) {
    const std::string mapped = mappedDevice(port);
    return mapped.empty() ? defaultDevice(port) : mapped;
}

}  // namespace freqrelay
