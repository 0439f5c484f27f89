#include "core/PollPacing.h"
#include "core/WriteSettle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace freqrelay;
using namespace std::chrono_literals;

namespace {

const WriteSettle::TimePoint kStart{10s};

// A writer that modifies the file every `period` and never closes it, and a
// relay that asks at every wake and at every poll whether it may read, and
// reads when it may: the times of the reads over two seconds.
std::vector<WriteSettle::TimePoint> readsOfAWriterThatNeverStops(bool tellsCloses, std::chrono::milliseconds period) {
    WriteSettle settle(tellsCloses);
    std::vector<WriteSettle::TimePoint> reads;
    for (auto now = kStart; now < kStart + 2s; now += 1ms) {
        if ((now - kStart) % period == 0ms) {
            settle.modified(now);
        }
        if (settle.readableAt(now) == now) {
            settle.reading();
            reads.push_back(now);
        }
    }
    return reads;
}

}  // namespace

TEST(WriteSettle, WhereClosesAreToldATextInPiecesIsReadAtTheCloseOrAPollPauseAfterItsFirstPiece) {
    WriteSettle settle(true);
    EXPECT_EQ(settle.readableAt(kStart), kStart);
    // "7200" written, "000" 200 ms later, the file kept open meanwhile.
    settle.modified(kStart);
    EXPECT_EQ(settle.readableAt(kStart + 100ms), kStart + kPollPause);
    settle.modified(kStart + 200ms);
    EXPECT_EQ(settle.readableAt(kStart + 210ms), kStart + kPollPause);
    // Closed after writing: read at once.
    settle.finished();
    EXPECT_EQ(settle.readableAt(kStart + 210ms), kStart + 210ms);
}

TEST(WriteSettle, WhereNoCloseIsToldAReadWaitsForTheWritesToSettle) {
    WriteSettle settle(false);
    settle.modified(kStart);
    EXPECT_EQ(settle.readableAt(kStart + 5ms), kStart + kSettleTime);
    settle.modified(kStart + 20ms);
    EXPECT_EQ(settle.readableAt(kStart + 30ms), kStart + 20ms + kSettleTime);
    EXPECT_EQ(settle.readableAt(kStart + 60ms), kStart + 60ms);
}

TEST(WriteSettle, AWriterThatNeverStopsIsReadAtLeastOnceEveryPollPause) {
    for (const bool tellsCloses : {true, false}) {
        for (const auto period : {1ms, 10ms, 25ms}) {
            const auto reads = readsOfAWriterThatNeverStops(tellsCloses, period);
            ASSERT_GE(reads.size(), 2u) << tellsCloses << " " << period.count();
            EXPECT_LE(reads.front() - kStart, kPollPause) << tellsCloses << " " << period.count();
            for (std::size_t i = 1; i < reads.size(); ++i) {
                EXPECT_LE(reads[i] - reads[i - 1], kPollPause + period) << tellsCloses << " " << period.count();
            }
        }
    }
}
