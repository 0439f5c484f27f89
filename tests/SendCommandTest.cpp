#include "EncodedState.h"
#include "RecordingSerialControl.h"
#include "core/RelayFailure.h"
#include "serial/SendCommand.h"

#include <gtest/gtest.h>

using namespace freqrelay;

TEST(SendCommand, ConfiguresOpensWritesAndClosesInThatOrder) {
    RecordingSerialControl control;
    RelayState state = encodedState("14250000");
    SendCommand(control, state).run();
    const std::vector<std::string> expected{"CommPort=1",   "InputMode=0", "Settings=4800,N,8,2", "RTSEnable=0",
                                            "RThreshold=1", "InputLen=0",  "InBufferCount=0",     "PortOpen=1",
                                            "Output",       "PortOpen=0"};
    EXPECT_EQ(control.calls, expected);
    ASSERT_EQ(control.written.size(), 1u);
    EXPECT_EQ(hexBytes(control.written[0]), "00 50 42 01 0A");
    EXPECT_EQ(hexBytes(state.fr.toText()), "00 50 42 01 0A");
}

TEST(SendCommand, StraightThroughStopsAtTheFailedStep) {
    RecordingSerialControl control;
    control.failing.insert("PortOpen=1");
    RelayState state = encodedState("7050000");
    SendCommand sender(control, state);
    EXPECT_THROW(sender.run(), RelayFailure);
    EXPECT_TRUE(control.written.empty());
    // Resuming at the opening finishes the command.
    sender.run(SendStep::Open, SendStep::Close);
    ASSERT_EQ(control.written.size(), 1u);
    EXPECT_EQ(hexBytes(control.written[0]), "00 00 05 07 0A");
    EXPECT_FALSE(control.isOpen);
}
