#include "core/Episodes.h"

#include <gtest/gtest.h>

using namespace freqrelay;
using namespace std::chrono_literals;

namespace {

const Episodes::Clock::time_point kStart{100s};

StepFailure failing(const char* step, const char* reason) { return {step, reason, StepArea::File, true, false}; }

}  // namespace

TEST(Episodes, AStepFailingAgainAndAgainIsToldOnceAndEndsWithItsTries) {
    Episodes episodes;
    EXPECT_TRUE(episodes.failed(failing("opening the file", "gone"), kStart));
    EXPECT_FALSE(episodes.failed(failing("opening the file", "gone"), kStart + 250ms));
    EXPECT_FALSE(episodes.worked("reading the file", kStart + 500ms));
    const auto ended = episodes.worked("opening the file", kStart + 500ms);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->tries, 3);
    EXPECT_EQ(ended->lasted, 500ms);
    EXPECT_FALSE(episodes.worked("opening the file", kStart + 750ms));
}

TEST(Episodes, ANewReasonIsToldAgainOnlyAfterTheRetellTime) {
    Episodes episodes;
    EXPECT_TRUE(episodes.failed(failing("opening the port", "busy"), kStart));
    EXPECT_FALSE(episodes.failed(failing("opening the port", "gone"), kStart + 1s));
    EXPECT_FALSE(episodes.failed(failing("opening the port", "busy"), kStart + 2s));
    EXPECT_TRUE(episodes.failed(failing("opening the port", "gone"), kStart + kRetellAfter + 1s));
    EXPECT_EQ(episodes.worked("opening the port", kStart + 20s)->failure.reason, "gone");
}

TEST(Episodes, EachOfTwoFailingStepsEndsWithItsOwnLine) {
    Episodes episodes;
    EXPECT_TRUE(episodes.failed(failing("reading the file", "Input/output error"), kStart));
    EXPECT_TRUE(episodes.failed(failing("opening the file", "No such file"), kStart + 250ms));
    const auto opened = episodes.worked("opening the file", kStart + 1s);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->failure.step, "opening the file");
    const auto read = episodes.worked("reading the file", kStart + 1s);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->failure.reason, "Input/output error");
}

TEST(Episodes, AFailureNothingTriesAgainIsToldEachTimeAndOpensNoEpisode) {
    Episodes episodes;
    StepFailure overflow{"reading the number", "overflow", StepArea::Encoding, false, false};
    EXPECT_TRUE(episodes.failed(overflow, kStart));
    EXPECT_TRUE(episodes.failed(overflow, kStart + 1s));
    StepFailure quitting = failing("writing the command", "given up: the relay is quitting");
    quitting.quitting = true;
    EXPECT_TRUE(episodes.failed(quitting, kStart));
    EXPECT_FALSE(episodes.worked("reading the number", kStart + 2s));
    EXPECT_FALSE(episodes.worked("writing the command", kStart + 2s));
}
