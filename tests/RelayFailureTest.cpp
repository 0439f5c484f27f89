#include "core/RelayFailure.h"

#include <gtest/gtest.h>

using namespace freqrelay;

TEST(RelayFailure, ASystemReasonLosesItsLineEndAndOneFullStopToEndTheRelaysSentence) {
    EXPECT_EQ(systemReasonText("Request not supported.\r\n"), "Request not supported");
    EXPECT_EQ(systemReasonText("Permission denied"), "Permission denied");
    EXPECT_EQ(systemReasonText("Wait..."), "Wait..");
    EXPECT_EQ(systemReasonText(""), "");
}
