#include "ScopedPort1.h"
#include "links/PortDevice.h"

#include <gtest/gtest.h>

#include <utility>

using namespace freqrelay;

TEST(PortDevice, MapsPortOneThroughTheEnvironment) {
    { ScopedPort1 unmapped(""); }  // leaves the variable unset
#ifdef _WIN32
    EXPECT_EQ(devicePathForPort(1), "COM1");
    EXPECT_EQ(devicePathForPort(3), "COM3");
    // The name a user types, in any case and above COM9 too.
    for (const char* name : {"COM3", "com3", "COM12"}) {
        ScopedPort1 mapped(name);
        EXPECT_EQ(devicePathForPort(1), name);
        EXPECT_EQ(devicePathForPort(2), "COM2");
    }
#elif !defined(__APPLE__)
    EXPECT_EQ(devicePathForPort(1), "/dev/ttyS0");
    EXPECT_EQ(devicePathForPort(3), "/dev/ttyS2");
    ScopedPort1 mapped("/dev/ttyUSB0");
    EXPECT_EQ(devicePathForPort(1), "/dev/ttyUSB0");
    EXPECT_EQ(devicePathForPort(2), "/dev/ttyS1");
    for (const auto& [mappedTo, device] :
         {std::pair{"ttyUSB1", "/dev/ttyUSB1"}, std::pair{"./radio", "./radio"}, std::pair{"../radio", "../radio"}}) {
        ScopedPort1 remapped(mappedTo);
        EXPECT_EQ(devicePathForPort(1), device) << "a bare name is looked up in /dev";
    }
#endif
}
