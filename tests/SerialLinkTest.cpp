#include "RecordingSerialControl.h"
#include "links/SerialLink.h"

#include <gtest/gtest.h>

#include <optional>

using namespace freqrelay;

namespace {

const Command k14250000 = encode("14250000").command;

// A serial sending ends before it returns.
Sending sent(SerialLink& link, const Command& command, bool whole = false) {
    std::optional<Sending> ended;
    const auto done = [&](const Sending& sending) {
        ended = sending;
    };
    whole ? link.sendWhole(command, done) : link.send(command, done);
    EXPECT_TRUE(ended.has_value());
    return ended.value_or(Sending{});
}

bool fails(SerialLink& link, const Command& command, bool whole = false) {
    return sent(link, command, whole).failure.has_value();
}

}  // namespace

TEST(SerialLink, ConfiguresOpensWritesAndClosesInThatOrder) {
    RecordingSerialControl control;
    SerialLink link(control);
    const Sending sending = sent(link, k14250000);
    EXPECT_FALSE(sending.failure);
    EXPECT_EQ(sending.worked,
              (std::vector<std::string>{"choosing the port", "setting the line", "configuring the port",
                                        "opening the port", "writing the command", "closing the port"}));
    const std::vector<std::string> expected{"CommPort=1", "Settings=4800,N,8,2", "RTSEnable=0", "PortOpen=1",
                                            "Output",     "PortOpen=0"};
    EXPECT_EQ(control.calls, expected);
    ASSERT_EQ(control.written.size(), 1u);
    EXPECT_EQ(hexBytes(control.written[0]), "00 50 42 01 0A");
}

TEST(SerialLink, ARepeatGoesOnFromTheFailedStepAndTheHeldPortStaysHeld) {
    struct Case {
        const char* failing;
        const char* step;
        std::vector<std::string> repeated;  // what the repeat does
    };
    for (const Case& c : {Case{"PortOpen=1", "opening the port", {"PortOpen=1", "Output", "PortOpen=0"}},
                          Case{"Output", "writing the command", {"Output", "PortOpen=0"}},
                          Case{"PortOpen=0", "closing the port", {"PortOpen=0"}}}) {
        RecordingSerialControl control;
        control.failing.insert(c.failing);
        SerialLink link(control);
        const StepFailure failure = sent(link, k14250000).failure.value_or(StepFailure{});
        EXPECT_EQ(failure.step, c.step);
        EXPECT_EQ(failure.area, StepArea::Port);
        EXPECT_EQ(failure.reason, std::string("fake: ") + c.failing + " failed");
        EXPECT_EQ(link.commandIsOnTheLine(), c.step == std::string("closing the port")) << c.step;
        control.calls.clear();
        EXPECT_FALSE(fails(link, k14250000));
        EXPECT_EQ(control.calls, c.repeated) << c.step;
        EXPECT_EQ(control.written.size(), 1u) << c.step;
        EXPECT_FALSE(control.isOpen);
    }
}

TEST(SerialLink, AWriteRepeatedAfterThePortWasLetGoOfOpensItAgain) {
    RecordingSerialControl control;
    control.failing.insert("Output");
    SerialLink link(control);
    EXPECT_TRUE(fails(link, k14250000));
    control.forceClose();  // the device was lost during the write
    control.calls.clear();
    EXPECT_FALSE(fails(link, k14250000));
    EXPECT_EQ(control.calls, (std::vector<std::string>{"PortOpen=1", "Output", "PortOpen=0"}));
}

TEST(SerialLink, AbandoningLetsGoOfTheHeldPortAndStartsTheNextCommandAfresh) {
    RecordingSerialControl control;
    control.failing.insert("Output");
    SerialLink link(control);
    EXPECT_TRUE(fails(link, k14250000));
    link.abandon();
    EXPECT_FALSE(control.isOpen);
    control.calls.clear();
    EXPECT_FALSE(fails(link, encode("7050000").command));
    EXPECT_EQ(control.calls.front(), "CommPort=1");
    EXPECT_EQ(hexBytes(control.written.back()), "00 00 05 07 0A");
}

TEST(SerialLink, AWholeSendingLeavesTheRepeatAloneAndLetsGoOfAPortItOpened) {
    RecordingSerialControl control;
    SerialLink link(control);
    control.failing.insert("Output");
    EXPECT_TRUE(fails(link, k14250000, true));
    EXPECT_FALSE(control.isOpen);
    EXPECT_EQ(control.calls.back(), "forceClose");
    // A port the failed repeat holds is not the whole sending's to close.
    control.failing.insert("PortOpen=0");
    EXPECT_TRUE(fails(link, k14250000));
    ASSERT_TRUE(control.isOpen);
    control.failing.insert("CommPort=1");
    EXPECT_TRUE(fails(link, k14250000, true));
    EXPECT_TRUE(control.isOpen);
    EXPECT_FALSE(fails(link, k14250000));
    EXPECT_FALSE(control.isOpen);
}
