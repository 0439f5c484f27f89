#include "FakeRigctld.h"
#include "links/RigctldLink.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

using namespace freqrelay;
using namespace std::chrono_literals;

namespace {

const Command k14250000 = encode("14250000").command;
const Command k7050000 = encode("7050000").command;
const Command k3500000 = encode("3500000").command;

// Serves the event loop until `done` holds or `limit` has passed.
bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// The sending's end, from the event loop; none if it never came.
std::optional<Sending> sent(RigctldLink& link, const Command& command) {
    std::optional<Sending> ended;
    link.send(command, [&](const Sending& sending) { ended = sending; });
    serveUntil([&] { return ended.has_value(); });
    return ended;
}

class RigctldLinkOnLoopback : public testing::Test {
protected:
    FakeRigctld fake;
    quint16 port = fake.listen();
    RigctldLink link{RigctldAddress{"127.0.0.1", port}, 300ms};
    std::string name = "rigctld 127.0.0.1:" + std::to_string(port);
};

}  // namespace

TEST_F(RigctldLinkOnLoopback, SendsTheFrequencyTheBytesMeanOnOneKeptConnection) {
    const auto first = sent(link, k14250000);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->failure);
    EXPECT_EQ(first->worked, std::vector<std::string>{"sending the frequency"});
    ASSERT_TRUE(sent(link, k7050000));
    EXPECT_EQ(fake.lines, (std::vector<std::string>{"F 14250000", "F 70500000"}));
    EXPECT_EQ(fake.frequency, 70500000);
    EXPECT_EQ(fake.connections, 1);
    EXPECT_EQ(link.destination(k7050000), name + " as 70500000 Hz");
}

TEST_F(RigctldLinkOnLoopback, EachFailureNamesTheServerAndTheNextTryConnectsAfresh) {
    struct Case {
        FakeRigctld::Answer answer;
        std::string reason;
    };
    for (const Case& c : {Case{FakeRigctld::Answer::Refused, " refused 70500000 Hz: RPRT -1 (invalid parameter)"},
                          Case{FakeRigctld::Answer::HangsUp, ": The remote host closed the connection"},
                          Case{FakeRigctld::Answer::Garbage, ": answered \"hello\" where RPRT was due"},
                          Case{FakeRigctld::Answer::AlmostSent, ": answered \"RPRT 0x\" where RPRT was due"},
                          Case{FakeRigctld::Answer::Endless, ": answered more than 1024 bytes without a line end"}}) {
        SCOPED_TRACE(c.reason);
        fake.answer = c.answer;
        const auto failed = sent(link, k7050000);
        ASSERT_TRUE(failed && failed->failure);
        EXPECT_EQ(failed->failure->step, "sending the frequency");
        EXPECT_EQ(failed->failure->reason, name + c.reason);
        EXPECT_FALSE(link.commandIsOnTheLine());
        // The connection is dropped, and made again for the next frequency.
        EXPECT_TRUE(serveUntil([&] { return fake.disconnections == fake.connections; }));
        const int connectionsBefore = fake.connections;
        fake.answer = FakeRigctld::Answer::Sent;
        const auto again = sent(link, k14250000);
        ASSERT_TRUE(again);
        EXPECT_FALSE(again->failure);
        EXPECT_EQ(fake.connections, connectionsBefore + 1);
    }
}

TEST_F(RigctldLinkOnLoopback, NoServerIsARefusedConnection) {
    fake.server.close();
    const auto failed = sent(link, k14250000);
    ASSERT_TRUE(failed && failed->failure);
    EXPECT_EQ(failed->failure->reason, name + ": Connection refused");
}

TEST_F(RigctldLinkOnLoopback, AnAbandonedSendingNeverEndsAndItsUnansweredLineKeepsItsConnection) {
    fake.answer = FakeRigctld::Answer::Nothing;
    bool ended = false;
    link.send(k14250000, [&](const Sending&) { ended = true; });
    serveUntil([&] { return !fake.lines.empty(); });
    link.abandon();
    serveUntil([] { return false; }, 500ms);
    EXPECT_FALSE(ended);
    EXPECT_EQ(fake.disconnections, 0);
}

// A slow answer fails the sending as slow, and is waited for on its own
// connection: the next try takes it, and an answer that came between the
// tries ends the next sending of that frequency without a second line.
TEST_F(RigctldLinkOnLoopback, ASlowAnswerIsWaitedForAndItsLineNeverWrittenAgain) {
    fake.setTakes = 450ms;
    for (const Command& command : {k14250000, k7050000}) {
        const auto slow = sent(link, command);
        ASSERT_TRUE(slow && slow->failure);
        EXPECT_EQ(slow->failure->reason,
                  name + ": no answer within 300 ms; still waiting for it, without sending it again");
        EXPECT_TRUE(link.commandIsOnTheLine());
        if (command == k7050000) {
            serveUntil([] { return false; }, 700ms);  // answered meanwhile
        }
        const auto again = sent(link, command);
        ASSERT_TRUE(again);
        EXPECT_FALSE(again->failure);
    }
    EXPECT_EQ(fake.lines, (std::vector<std::string>{"F 14250000", "F 70500000"}));
    EXPECT_EQ(fake.connections, 1);
}

// A stopped server reads lines and carries them all out once it runs again,
// also those of connections closed meanwhile: one "F" at most is left to it,
// whatever the tries, so the radio ends on the last frequency asked for.
TEST_F(RigctldLinkOnLoopback, AStoppedServerIsLeftOneLineAtMostAndTheRadioEndsOnTheLast) {
    fake.stalled = true;
    for (int tries = 0; tries < 4; ++tries) {
        const auto slow = sent(link, k3500000);
        ASSERT_TRUE(slow && slow->failure);
    }
    // Another frequency waits for the answer before it goes.
    link.abandon();
    ASSERT_TRUE(sent(link, k7050000));
    EXPECT_EQ(fake.lines, std::vector<std::string>{"F 35000000"});
    std::optional<Sending> last;
    link.send(k7050000, [&](const Sending& sending) { last = sending; });
    fake.resume();
    ASSERT_TRUE(serveUntil([&] { return last.has_value(); }));
    EXPECT_FALSE(last->failure);
    EXPECT_EQ(fake.lines, (std::vector<std::string>{"F 35000000", "F 70500000"}));
    EXPECT_EQ(fake.frequency, 70500000);
    EXPECT_EQ(fake.connections, 1);
}

// A connection given up with its line unanswered leaves that line to the
// server, which may carry it out after the next one: the next frequency is
// read back, and a radio moved since fails the sending, so that the relay
// sets it again only while the file still asks for it. A radio moved at
// every check (an operator at the knob) is no longer read back after a few.
TEST(RigctldLink, ALineLeftOnAConnectionGivenUpIsCheckedForAfterTheNextFrequency) {
    struct Case {
        std::int64_t knob;
        bool readable;
        std::vector<std::string> lines;
        std::vector<std::string> failures;
        std::vector<std::string> notes;
    };
    const std::string late = ": held 35000000 Hz after 70500000 Hz was set: a late command moved it; setting it again";
    const std::string knob = ": held 14000000 Hz after 70500000 Hz was set";
    const std::string knobLast = knob + " at each of 4 checks; no longer read back";
    const std::string lateNote = " held 35000000 Hz after 70500000 Hz was set: a late command moved it";
    const std::string knobNote = knob.substr(2) + ": a late command moved it";
    for (const Case& c :
         {Case{0, true, {"f", "F 70500000", "f", "F 14250000"}, {late}, {lateNote}},
          // Taken at its word: the late line is not seen.
          Case{0,
               false,
               {"f", "F 14250000"},
               {},
               {" could not read back 70500000 Hz (RPRT -11): not checked for a late command"}},
          Case{14000000,
               true,
               {"f", "F 70500000", "f", "F 70500000", "f", "F 70500000", "f", "F 70500000", "F 14250000"},
               {knob + ": a late command moved it; setting it again",
                knob + ": a late command moved it; setting it again",
                knob + ": a late command moved it; setting it again", knobLast},
               {" " + knobNote, " " + knobNote, " " + knobNote, " " + knobLast.substr(2)}}}) {
        SCOPED_TRACE(c.knob);
        FakeRigctld fake;
        RigctldLink link{RigctldAddress{"127.0.0.1", fake.listen()}, 400ms, 600ms};
        const std::string name = link.name();
        fake.stalled = true;
        ASSERT_TRUE(sent(link, k3500000));
        const auto givenUp = sent(link, k3500000);
        ASSERT_TRUE(givenUp && givenUp->failure);
        EXPECT_EQ(givenUp->failure->reason, name +
                                                ": no answer within 600 ms; given up, though the server may still set "
                                                "35000000 Hz: the next frequency is read back");
        EXPECT_FALSE(link.commandIsOnTheLine());
        ASSERT_TRUE(serveUntil([&] { return fake.disconnections == 1; }));

        std::optional<Sending> ended;
        link.send(k7050000, [&](const Sending& sending) { ended = sending; });
        ASSERT_TRUE(serveUntil([&] { return fake.lines.size() == 2; }));
        // The new line first, then the old one: the radio is moved back.
        fake.knob = c.knob;
        fake.readable = c.readable;
        fake.resume();
        ASSERT_TRUE(serveUntil([&] { return ended.has_value(); }));
        // The relay's tries while the file still holds the frequency.
        std::vector<std::string> failures;
        std::vector<std::string> notes;
        for (int tries = 0; ended && tries < 6; ++tries) {
            for (const std::string& note : ended->notes) {
                notes.push_back(note.substr(name.size()));
            }
            if (!ended->failure) {
                break;
            }
            failures.push_back(ended->failure->reason.substr(name.size()));
            EXPECT_FALSE(link.commandIsOnTheLine());  // a new text in the file drops it
            ended = sent(link, k7050000);
        }
        ASSERT_TRUE(ended);
        EXPECT_FALSE(ended->failure);
        EXPECT_EQ(failures, c.failures);
        EXPECT_EQ(notes, c.notes);
        if (c.knob == 0) {
            EXPECT_EQ(fake.frequency, c.readable ? 70500000 : 35000000);
        }
        // The episode is over: no reading back any more.
        ASSERT_TRUE(sent(link, k14250000));
        fake.lines.erase(fake.lines.begin(), fake.lines.begin() + 2);
        EXPECT_EQ(fake.lines, c.lines);
    }
}

// Hamlib's own server with its dummy radio, where it is installed.
TEST(RigctldLink, TheRealRigctldHoldsTheFrequencySent) {
    if (!RealRigctld::installed()) {
        GTEST_SKIP() << "rigctld is not installed (Debian: libhamlib-utils)";
    }
    RealRigctld server;
    RigctldLink link{RigctldAddress{"127.0.0.1", server.port}};
    std::optional<Sending> ended;
    // The server takes a moment to listen: refused tries until it does.
    ASSERT_TRUE(serveUntil([&] {
        ended = sent(link, k14250000);
        return ended && !ended->failure;
    }));
    EXPECT_EQ(server.frequency(), "14250000");
}
