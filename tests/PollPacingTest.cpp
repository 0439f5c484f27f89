#include "core/PollPacing.h"

#include <gtest/gtest.h>

using namespace freqrelay;
using namespace std::chrono_literals;

TEST(PollPacing, AnEarlyWakeKeepsAPollPauseAfterTheLastCommand) {
    const std::chrono::steady_clock::time_point sent{10s};
    // Before any command, and long after one, the wake stands.
    EXPECT_EQ(pacedWake(sent, std::nullopt), sent);
    EXPECT_EQ(pacedWake(sent + 300ms, sent), sent + 300ms);
    EXPECT_EQ(pacedWake(sent + 250ms, sent), sent + 250ms);
    // A change 20 ms after a command waits for the rest of the pause.
    EXPECT_EQ(pacedWake(sent + 20ms, sent), sent + 250ms);
}
