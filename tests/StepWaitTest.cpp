#include "links/StepWait.h"

#include <gtest/gtest.h>

#include <thread>

using namespace freqrelay;
using namespace std::chrono_literals;

// The write and the drain both wait through waitInSlices. A pty never holds
// bytes in its output queue, so a line that never empties is simulated here.
TEST(StepWait, ALineThatNeverEmptiesGivesUpAtTheLimitOrAtOnceOnQuit) {
    const auto neverEmpties = [](std::chrono::milliseconds slice) {
        EXPECT_LE(slice, kQuitCheckInterval);
        std::this_thread::sleep_for(slice);
        return false;
    };
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(waitInSlices(300ms, nullptr, neverEmpties), WaitEnd::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 300ms);

    started = std::chrono::steady_clock::now();
    const auto quitAfter100ms = [&] {
        return std::chrono::steady_clock::now() - started > 100ms;
    };
    EXPECT_EQ(waitInSlices(10s, quitAfter100ms, neverEmpties), WaitEnd::Quit);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);  // a hang would take the whole 10 s

    EXPECT_EQ(waitInSlices(
                  10s, [] { return false; }, [](auto) { return true; }),
              WaitEnd::Done);
}
