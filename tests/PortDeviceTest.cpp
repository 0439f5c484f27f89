#include "links/PortDevice.h"

#include <gtest/gtest.h>

using namespace freqrelay;

TEST(PortDevice, ANameForAPortAndEachSystemsOwnDeviceForItsNumber) {
    struct Named {
        const char* name;
        const char* device;
    };
#ifdef _WIN32
    EXPECT_EQ(defaultDevice(1), "COM1");
    EXPECT_EQ(defaultDevice(3), "COM3");
    // The name a user types, in any case and above COM9 too.
    for (const Named& named : {Named{"COM3", "COM3"}, Named{"com3", "com3"}, Named{"COM12", "COM12"}}) {
#else
#ifndef __APPLE__
    EXPECT_EQ(defaultDevice(1), "/dev/ttyS0");
    EXPECT_EQ(defaultDevice(3), "/dev/ttyS2");
#endif
    // A bare name is looked up in /dev.
    for (const Named& named : {Named{"/dev/ttyUSB0", "/dev/ttyUSB0"}, Named{"ttyUSB1", "/dev/ttyUSB1"},
                               Named{"./radio", "./radio"}, Named{"../radio", "../radio"}}) {
#endif
        EXPECT_EQ(portDevice(named.name), named.device) << named.name;
    }
}
