#include "RecordingDisplay.h"
#include "core/Encoder.h"
#include "core/PollLoop.h"
#include "core/RelayFailure.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <new>
#include <optional>

using namespace freqrelay;

// GCC 12 at -O2 takes assigning a text to the rig's std::optional<std::string>
// for a read of an uninitialised string (a known false positive).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// Everything the loop touches, recording a trace of what it did. The rig is
// the loop's event source too: each time the loop hands control back, the
// rig serves "the window" (a pump, where the script runs) and runs it again.
struct Rig : LoopHost, TextFile, CommandSteps, RelayObserver {
    void pump() {
        ++pumps;
        trace.push_back("pump");
        if (onPump) {
            onPump(pumps);
        }
    }
    // LoopHost
    bool quitRequested() const override { return quit; }

    // TextFile: the content is read three characters at a time.
    void open() override {
        trace.push_back("open");
        failIfAsked("open");
        if (!content) {
            throw RelayFailure(FailureKind::File, "ft1000file: No such file or directory");
        }
        isOpenNow = true;
        position = 0;
    }
    bool atEnd() const override { return position >= content->size() && readPastEnd; }
    void readInto(std::string& text) override {
        trace.push_back("read");
        failIfAsked(position == 0 ? "read" : "read-later");
        readPastEnd = position >= content->size();
        text += content->substr(position, 3);
        position = std::min(position + 3, content->size());
    }
    void close() noexcept override { isOpenNow = false; }
    std::string name() const override { return "ft1000file"; }

    // CommandSteps: eleven steps, the command is taken at the tenth.
    int stepCount() const override { return 11; }
    std::string stepName(int index) const override { return "send" + std::to_string(index); }
    void abandon() noexcept override { trace.push_back("abandon"); }

    // RelayObserver
    void stepFailed(const StepFailure& failure) override {
        events.push_back("failed " + failure.step + (failure.retrying ? "" : ", not retrying") +
                         (failure.quitting ? ", quitting" : "") + ": " + failure.reason);
    }
    void failureCleared(const StepFailure& failure, std::chrono::steady_clock::duration, int tries) override {
        events.push_back("cleared " + failure.step + " after " + std::to_string(tries) + " tries, last " +
                         failure.reason);
    }
    void textHasNoNumber(const std::string& file, const std::string& start) override {
        events.push_back("no number in " + file + ": " + start);
    }
    void commandDropped(const std::string& digits, const std::string& start) override {
        events.push_back("dropped " + digits + ", the file holds " + start);
    }
    void commandSent(const std::string& command, const std::string& digits) override {
        events.push_back("sent " + hexBytes(command) + " " + digits);
    }
    void runStep(int index) override {
        trace.push_back("send" + std::to_string(index));
        failIfAsked("send" + std::to_string(index));
        if (index == 8) {
            Encoder::buildCommand(state);
        } else if (index == 9) {
            sent.push_back(hexBytes(state.fr.toText()));
        }
    }

    // failures["x"] makes step x fail that many times; failures["alloc:x"]
    // makes it run out of memory instead, failures["quit:x"] fail on a quit.
    void failIfAsked(const std::string& what) {
        if (consume("alloc:" + what)) {
            throw std::bad_alloc();
        }
        if (consume("quit:" + what)) {
            quit = true;
            throw RelayFailure(FailureKind::Port, "given up: quitting");
        }
        if (consume(what)) {
            throw RelayFailure(FailureKind::Port, "fake: " + what + " failed");
        }
    }
    bool consume(const std::string& key) {
        const auto found = failures.find(key);
        return found != failures.end() && found->second-- > 0;
    }

    // Runs the loop until `count` commands have been sent and two more
    // polls have passed (to see that nothing more is sent), however many
    // pumps the iterations take.
    void runUntilSent(std::size_t count) {
        int pollsAfter = 0;
        run([&](int) { quit = sent.size() >= count && ++pollsAfter > 2; });
    }

    // Runs the loop; `script` is called at each pump with its number and
    // stops the loop by setting quit.
    void run(std::function<void(int)> script) {
        onPump = std::move(script);
        drive(PollLoop(state, *this, *this, display, *this, this));
    }
    void drive(PollLoop&& loop) {
        loop.start();
        while (!quit) {
            pauses.push_back(loop.runUntilPause());
            pump();
        }
    }

    RelayState state;
    RecordingDisplay display;
    std::optional<std::string> content;
    std::map<std::string, int> failures;
    std::vector<std::string> sent;
    std::vector<std::string> trace;
    std::vector<std::string> events;
    std::vector<std::chrono::milliseconds> pauses;
    std::function<void(int)> onPump;
    int pumps = 0;
    bool quit = false;
    bool isOpenNow = false;
    bool readPastEnd = false;
    std::size_t position = 0;
};

}  // namespace

TEST(PollLoop, AChangeIsShownAndSentOnceAndNotAgainWhileTheTextStays) {
    Rig rig;
    rig.content = "14250000\r\n";
    rig.runUntilSent(1);
    EXPECT_EQ(rig.sent, std::vector<std::string>{"00 50 42 01 0A"});
    EXPECT_EQ(rig.display.in, std::vector<std::string>{"14250000"});
    EXPECT_EQ(rig.display.out, std::vector<std::string>{"1425000"});
    EXPECT_EQ(rig.state.freqold.toText(), "14250000\r\n");
    EXPECT_EQ(rig.state.h, "&H");
    EXPECT_FALSE(rig.isOpenNow);
}

TEST(PollLoop, PausesAQuarterSecondEachPoll) {
    Rig rig;
    rig.content = "";
    rig.run([&](int pump) { rig.quit = pump == 4; });
    ASSERT_EQ(rig.pauses.size(), 4u);
    for (const auto pause : rig.pauses) {
        EXPECT_EQ(pause, std::chrono::milliseconds(250));
    }
}

TEST(PollLoop, AnEmptiedFileIsNoChangeAndATextWithoutANumberSendsZerosWithAWarning) {
    Rig rig;
    rig.content = "";
    rig.run([&](int pump) {
        if (pump == 3)
            rig.content = "7050000";
        if (pump == 5)
            rig.content = "";  // a writer between truncating and writing
        if (pump == 7)
            rig.content = "7050000";  // the text last sent: no change
        if (pump == 9)
            rig.content = "\xEF\xBB\xBF  kHz 7050000";  // the warning tells what follows the mark
        rig.quit = pump == 11;
    });
    EXPECT_EQ(rig.sent, (std::vector<std::string>{"00 00 05 07 0A", "00 00 00 00 0A"}));
    EXPECT_EQ(rig.display.in, (std::vector<std::string>{"7050000", "0"}));
    EXPECT_EQ(rig.display.out, (std::vector<std::string>{"7050000", "00"}));
    EXPECT_EQ(rig.events, (std::vector<std::string>{"sent 00 00 05 07 0A 7050000", "no number in ft1000file:   kHz 70",
                                                    "sent 00 00 00 00 0A 00"}));
}

TEST(PollLoop, ChangesAnywhereInTheTextCountAndAnOldTextIsSentAgain) {
    Rig rig;
    rig.content = "14250000";
    rig.run([&](int pump) {
        if (pump == 3)
            rig.content = "14250000 ";  // after the eighth character
        if (pump == 5)
            rig.content = "7050000";
        if (pump == 7)
            rig.content = "14250000 ";  // back to an earlier text
        rig.quit = pump == 9;
    });
    EXPECT_EQ(rig.sent,
              (std::vector<std::string>{"00 50 42 01 0A", "00 50 42 01 0A", "00 00 05 07 0A", "00 50 42 01 0A"}));
}

TEST(PollLoop, AMissingFileIsWaitedForAtTheOpening) {
    Rig rig;
    rig.run([&](int pump) {
        if (pump == 4)
            rig.content = "705000";
        rig.quit = pump == 7;
    });
    EXPECT_EQ(rig.sent, std::vector<std::string>{"00 50 70 00 0A"});
    // Each failed open is followed by a pump and a pause, then an open again.
    EXPECT_EQ(std::vector<std::string>(rig.trace.begin(), rig.trace.begin() + 5),
              (std::vector<std::string>{"pump", "open", "pump", "open", "pump"}));
    EXPECT_TRUE(rig.display.in.size() == 1);
    EXPECT_EQ(rig.events, (std::vector<std::string>{"failed opening the file: ft1000file: No such file or directory",
                                                    "cleared opening the file after 4 tries, last ft1000file: No "
                                                    "such file or directory",
                                                    "sent 00 50 70 00 0A 0705000"}));
}

TEST(PollLoop, AFailedReadOpensTheFileAgainAndReadsFromTheStart) {
    for (const std::string failure : {"read-later", "alloc:read-later"}) {
        SCOPED_TRACE(failure);
        Rig rig;
        rig.content = "14250000";
        rig.failures[failure] = 1;
        rig.run([&](int pump) { rig.quit = pump == 5; });
        // The partial text of the failed read is not kept.
        EXPECT_EQ(rig.sent, std::vector<std::string>{"00 50 42 01 0A"});
        EXPECT_EQ(std::vector<std::string>(rig.trace.begin(), rig.trace.begin() + 6),
                  (std::vector<std::string>{"pump", "open", "read", "read", "pump", "open"}));
        EXPECT_FALSE(rig.isOpenNow);
    }
}

TEST(PollLoop, RunningOutOfMemoryIsAFailedStepThatIsRepeated) {
    Rig rig;
    rig.content = "7050000";
    rig.failures["alloc:send8"] = 2;
    rig.runUntilSent(1);
    EXPECT_EQ(rig.sent, std::vector<std::string>{"00 00 05 07 0A"});
    EXPECT_EQ(std::count(rig.trace.begin(), rig.trace.end(), std::string("send8")), 3);
}

TEST(PollLoop, AFailedSendStepIsRepeatedAndTheCommandGoesOutOnce) {
    Rig rig;
    rig.content = "14250000";
    rig.failures["send7"] = 3;
    rig.runUntilSent(1);
    EXPECT_EQ(rig.sent, std::vector<std::string>{"00 50 42 01 0A"});
    EXPECT_EQ(std::count(rig.trace.begin(), rig.trace.end(), std::string("send0")), 1);
    EXPECT_EQ(std::count(rig.trace.begin(), rig.trace.end(), std::string("send7")), 4);
    EXPECT_EQ(std::count(rig.trace.begin(), rig.trace.end(), std::string("send10")), 1);
    // Told once when it starts and once when it clears, not at every retry.
    EXPECT_EQ(rig.events, (std::vector<std::string>{"failed send7: fake: send7 failed",
                                                    "cleared send7 after 4 tries, last fake: send7 failed",
                                                    "sent 00 50 42 01 0A 1425000"}));
}

// The port is gone while the file changes twice (and is caught empty once
// by its writer): only the frequency the file holds when the port is back
// reaches the radio, and In and Out show each new text meanwhile. A command
// already on the line when only letting go of the port fails is not dropped.
TEST(PollLoop, ACommandTheFileHasLeftWhileItsSendingIsRepeatedIsDroppedForTheNewText) {
    struct Case {
        const char* failing;
        std::vector<std::string> sent;
        std::vector<std::string> in;
        std::vector<std::string> events;
        long dropped;
    };
    for (const Case& scenario : {
             Case{"send7",
                  {"00 00 30 07 0A"},
                  {"7100000", "7200000", "7300000"},
                  {"failed send7: fake: send7 failed", "dropped 7100000, the file holds 7200000\r",
                   "dropped 7200000, the file holds 7300000\r", "cleared send7 after 9 tries, last fake: send7 failed",
                   "sent 00 00 30 07 0A 7300000"},
                  2},
             Case{"send10",
                  {"00 00 10 07 0A", "00 00 30 07 0A"},
                  {"7100000", "7300000"},
                  {"failed send10: fake: send10 failed", "cleared send10 after 9 tries, last fake: send10 failed",
                   "sent 00 00 10 07 0A 7100000", "sent 00 00 30 07 0A 7300000"},
                  0},
         }) {
        SCOPED_TRACE(scenario.failing);
        Rig rig;
        rig.content = "7100000";
        rig.failures[scenario.failing] = 8;
        rig.run([&](int pump) {
            if (pump == 3)
                rig.content = "7200000\r\n";
            if (pump == 4)
                rig.content = "";
            if (pump == 5)
                rig.content = std::string("\xEF\xBB\xBF") + "7300000\r\n";  // told without its mark
            rig.quit = pump == 14;
        });
        EXPECT_EQ(rig.sent, scenario.sent);
        EXPECT_EQ(rig.display.in, scenario.in);
        EXPECT_EQ(rig.display.out, scenario.in);
        EXPECT_EQ(rig.events, scenario.events);
        EXPECT_EQ(std::count(rig.trace.begin(), rig.trace.end(), std::string("abandon")), scenario.dropped);
    }
}

TEST(PollLoop, AStepFailingForAlternatingReasonsIsOneEpisodeToldOnce) {
    Rig rig;
    rig.run([&](int pump) {
        rig.failures["open"] = pump < 21 ? pump % 2 : 0;  // refused, missing, refused, ...
        if (pump == 21)
            rig.content = "7050000";
        rig.quit = pump == 23;
    });
    EXPECT_EQ(rig.events, (std::vector<std::string>{"failed opening the file: fake: open failed",
                                                    "cleared opening the file after 21 tries, last ft1000file: No "
                                                    "such file or directory",
                                                    "sent 00 00 05 07 0A 7050000"}));
}

TEST(PollLoop, AStepGivenUpOnAQuitSaysNothingOfTryingAgain) {
    Rig rig;
    rig.content = "7050000";
    rig.failures["quit:send7"] = 1;
    rig.run([&](int) {});
    EXPECT_EQ(rig.events, std::vector<std::string>{"failed send7, quitting: given up: quitting"});
    EXPECT_TRUE(rig.sent.empty());
}

TEST(PollLoop, AFailedEncodingStepIsRepeatedOnItsOwn) {
    struct FailingOnce : RecordingDisplay {
        void showOut(const std::string& text) override {
            if (!failed) {
                failed = true;
                throw RelayFailure(FailureKind::File, "display busy");
            }
            RecordingDisplay::showOut(text);
        }
        bool failed = false;
    };
    Rig rig;
    FailingOnce display;
    rig.content = "7050000";
    rig.onPump = [&](int pump) {
        rig.quit = pump == 5;
    };
    rig.drive(PollLoop(rig.state, rig, rig, display, rig));
    EXPECT_EQ(display.in.size(), 1u);  // the steps before were not run again
    EXPECT_EQ(display.out, std::vector<std::string>{"7050000"});
    EXPECT_EQ(rig.sent, std::vector<std::string>{"00 00 05 07 0A"});
}

TEST(PollLoop, AnOverflowAbandonsTheIterationAndTheNextChangeIsRelayed) {
    Rig rig;
    rig.content = "1E10";
    rig.run([&](int pump) {
        if (pump == 4)
            rig.content = "7050000";
        rig.quit = pump == 7;
    });
    EXPECT_EQ(rig.sent, std::vector<std::string>{"00 00 05 07 0A"});
    EXPECT_EQ(rig.display.in, (std::vector<std::string>{"10000000000", "7050000"}));
    // The overflowing text was read only once: it is remembered, not re-sent.
    EXPECT_EQ(std::count(rig.trace.begin(), rig.trace.end(), std::string("send0")), 1);
    EXPECT_EQ(rig.events,
              (std::vector<std::string>{"failed reading the number, not retrying: overflow: 10000000000 does not fit "
                                        "in a 32-bit whole number",
                                        "sent 00 00 05 07 0A 7050000"}));
}
