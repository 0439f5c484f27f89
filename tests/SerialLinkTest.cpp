#include "RecordingSerialControl.h"
#include "serial/SerialLink.h"

#include <gtest/gtest.h>

using namespace freqrelay;

namespace {

const Command k14250000 = encode("14250000").command;

StepFailure failureOf(const std::function<void()>& sending) {
    try {
        sending();
    } catch (const StepFailure& failure) {
        return failure;
    }
    ADD_FAILURE() << "the sending did not fail";
    return {};
}

}  // namespace

TEST(SerialLink, ConfiguresOpensWritesAndClosesInThatOrder) {
    RecordingSerialControl control;
    SerialLink(control).send(k14250000);
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
        const StepFailure failure = failureOf([&] { link.send(k14250000); });
        EXPECT_EQ(failure.step, c.step);
        EXPECT_EQ(failure.area, StepArea::Port);
        EXPECT_EQ(failure.reason, std::string("fake: ") + c.failing + " failed");
        EXPECT_EQ(link.commandIsOnTheLine(), c.step == std::string("closing the port")) << c.step;
        control.calls.clear();
        link.send(k14250000);
        EXPECT_EQ(control.calls, c.repeated) << c.step;
        EXPECT_EQ(control.written.size(), 1u) << c.step;
        EXPECT_FALSE(control.isOpen);
    }
}

TEST(SerialLink, AWriteRepeatedAfterThePortWasLetGoOfOpensItAgain) {
    RecordingSerialControl control;
    control.failing.insert("Output");
    SerialLink link(control);
    EXPECT_THROW(link.send(k14250000), StepFailure);
    control.forceClose();  // the device was lost during the write
    control.calls.clear();
    link.send(k14250000);
    EXPECT_EQ(control.calls, (std::vector<std::string>{"PortOpen=1", "Output", "PortOpen=0"}));
}

TEST(SerialLink, AbandoningLetsGoOfTheHeldPortAndStartsTheNextCommandAfresh) {
    RecordingSerialControl control;
    control.failing.insert("Output");
    SerialLink link(control);
    EXPECT_THROW(link.send(k14250000), StepFailure);
    link.abandon();
    EXPECT_FALSE(control.isOpen);
    control.calls.clear();
    link.send(encode("7050000").command);
    EXPECT_EQ(control.calls.front(), "CommPort=1");
    EXPECT_EQ(hexBytes(control.written.back()), "00 00 05 07 0A");
}

TEST(SerialLink, AWholeSendingLeavesTheRepeatAloneAndLetsGoOfAPortItOpened) {
    RecordingSerialControl control;
    SerialLink link(control);
    control.failing.insert("Output");
    EXPECT_THROW(link.sendWhole(k14250000), StepFailure);
    EXPECT_FALSE(control.isOpen);
    EXPECT_EQ(control.calls.back(), "forceClose");
    // A port the failed repeat holds is not the whole sending's to close.
    control.failing.insert("PortOpen=0");
    EXPECT_THROW(link.send(k14250000), StepFailure);
    ASSERT_TRUE(control.isOpen);
    control.failing.insert("CommPort=1");
    EXPECT_THROW(link.sendWhole(k14250000), StepFailure);
    EXPECT_TRUE(control.isOpen);
    link.send(k14250000);
    EXPECT_FALSE(control.isOpen);
}
