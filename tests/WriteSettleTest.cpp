#include "core/PollPacing.h"
#include "core/WriteSettle.h"

#include <gtest/gtest.h>

using namespace freqrelay;
using namespace std::chrono_literals;

TEST(WriteSettle, AReadWaitsForAWriterBetweenTwoWritesButNotForAFinishedOne) {
    const WriteSettle::TimePoint start{10s};
    WriteSettle settle;
    // Nothing seen: read when due.
    EXPECT_EQ(settle.readableAt(start), start);
    // "1425" written, "0000" to follow 20 ms later: put off to the settle time.
    settle.modified(start);
    EXPECT_EQ(settle.readableAt(start + 5ms), start + kSettleTime);
    settle.modified(start + 20ms);
    EXPECT_EQ(settle.readableAt(start + 30ms), start + 20ms + kSettleTime);
    // Closed after writing: read at once.
    settle.finished();
    EXPECT_EQ(settle.readableAt(start + 21ms), start + 21ms);
    // A writer that keeps the file open is read once its write has settled.
    settle.modified(start + 100ms);
    EXPECT_EQ(settle.readableAt(start + 130ms), start + 130ms);
}

TEST(WriteSettle, AWriterThatNeverPausesIsReadAfterAPollPause) {
    const WriteSettle::TimePoint start{10s};
    WriteSettle settle;
    auto now = start;
    for (; now < start + 2 * kPollPause; now += 10ms) {
        settle.modified(now);
        if (settle.readableAt(now) == now) {
            break;
        }
    }
    EXPECT_EQ(now, start + kPollPause);
}
