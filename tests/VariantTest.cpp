#include "core/Variant.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace freqrelay;

TEST(Variant, EmptyReadsAsZeroAndAsEmptyText) {
    Variant empty;
    EXPECT_EQ(empty.toNumber(), 0.0);
    EXPECT_EQ(empty.toText(), "");
    EXPECT_TRUE(empty.isEmpty());
    Variant integer(static_cast<std::int16_t>(10));
    EXPECT_EQ(integer.toNumber(), 10.0);
    EXPECT_FALSE(Variant("") == Variant());
    Variant number(3.0);
    number.text() += "ab";
    EXPECT_EQ(number.toText(), "ab");
}
