#include "links/RigctldAddress.h"

#include <gtest/gtest.h>

using namespace freqrelay;

TEST(RigctldAddress, HostAndPortEachTakeTheirDefaultWhenLeftOut) {
    struct Case {
        const char* given;
        const char* address;
    };
    for (const Case& c :
         {Case{"", "127.0.0.1:4532"}, Case{"radio.local", "radio.local:4532"}, Case{":4533", "127.0.0.1:4533"},
          Case{"10.0.0.2:1", "10.0.0.2:1"}, Case{"[::1]", "[::1]:4532"}, Case{"[::1]:65535", "[::1]:65535"},
          Case{" 10.0.0.2:4533 ", "10.0.0.2:4533"}}) {
        std::string why;
        const auto parsed = RigctldAddress::parse(c.given, why);
        ASSERT_TRUE(parsed) << c.given << ": " << why;
        EXPECT_EQ(parsed->text(), c.address);
    }
}

TEST(RigctldAddress, WhatCannotBeReadSaysWhy) {
    struct Case {
        const char* given;
        const char* why;
    };
    for (const Case& c :
         {Case{"::1", "an IPv6 address goes in brackets: [::1]:4532"},
          Case{"[::1", "an IPv6 address needs its closing bracket"},
          Case{"[::1]4532", "expected :PORT after the bracketed address"},
          Case{"[]:4532", "the brackets hold no address"}, Case{"host:", "the port after the colon is missing"},
          Case{"host:0", "the port must be a number from 1 to 65535"},
          Case{"host:65536", "the port must be a number from 1 to 65535"},
          Case{"host:45x", "the port must be a number from 1 to 65535"}}) {
        std::string why;
        EXPECT_FALSE(RigctldAddress::parse(c.given, why)) << c.given;
        EXPECT_EQ(why, c.why) << c.given;
    }
}
