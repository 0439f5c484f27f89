#pragma once

#include <cstdlib>
#include <string>

// Maps serial port 1 to a device for the life of the object.
class ScopedPort1 {
public:
    explicit ScopedPort1(const std::string& device) {
#ifdef _WIN32
        ::_putenv_s("FREQRELAY_PORT1", device.c_str());
#else
        ::setenv("FREQRELAY_PORT1", device.c_str(), 1);
#endif
    }
    ~ScopedPort1() {
#ifdef _WIN32
        ::_putenv_s("FREQRELAY_PORT1", "");
#else
        ::unsetenv("FREQRELAY_PORT1");
#endif
    }
    ScopedPort1(const ScopedPort1&) = delete;
    ScopedPort1& operator=(const ScopedPort1&) = delete;
};
