#include "core/RelayFailure.h"
#include "links/SerialSettings.h"

#include <gtest/gtest.h>

#include <string>

using namespace freqrelay;

TEST(SerialSettings, ReadsTheTextForm) {
    const SerialSettings settings = SerialSettings::parse("4800,N,8,2");
    EXPECT_EQ(settings.baudRate, 4800);
    EXPECT_EQ(settings.parity, SerialSettings::Parity::None);
    EXPECT_EQ(settings.dataBits, 8);
    EXPECT_EQ(settings.stopBits, SerialSettings::StopBits::Two);
    EXPECT_EQ(SerialSettings::parse("9600,e,7,1.5").stopBits, SerialSettings::StopBits::OneAndHalf);
    EXPECT_EQ(SerialSettings::parse("300,M,5,1").parity, SerialSettings::Parity::Mark);
}

TEST(SerialSettings, MalformedTextIsASettingsFailureThatQuotesIt) {
    for (const std::string text : {"4800,X,8,2", "4800,N,9,2", "4800,N,8,3", "fast,N,8,2", "4800,N,8", "",
                                   "4800,N,8,2,1", "-4800,N,8,2", "4800,NN,8,2"}) {
        try {
            SerialSettings::parse(text);
            ADD_FAILURE() << "accepted \"" << text << "\"";
        } catch (const RelayFailure& failure) {
            EXPECT_NE(std::string(failure.what()).find('"' + text + '"'), std::string::npos) << failure.what();
        }
    }
}
