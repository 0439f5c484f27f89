#include "links/PortDevice.h"
#include "ui/Options.h"

#include <gtest/gtest.h>

using namespace freqrelay;

// Where the relay reads, sends and logs: the command line, then the
// environment, then the stored settings, then the defaults; rigctld's
// variable before the port's, and in the store rigctld before the port.
TEST(Options, EachSettingComesFromTheFirstPlaceThatGivesIt) {
    StoredSettings store{"ttyUSB3", std::nullopt, "stored.txt", "stored.log"};
    StoredSettings storeToRigctld{"ttyUSB3", RigctldAddress{"::1", 4533}, "", ""};
    const std::string byDefault = "port 1 is " + defaultDevice(1) + " (the default)";
    const struct {
        QStringList arguments;
        Environment environment;
        StoredSettings stored;
        std::string target;
        std::string file;  // and where it came from
        std::string log;
    } cases[] = {
        {{}, {}, {}, byDefault, "ft1000file (the default)", " (the default)"},
        {{},
         {"ttyUSB0", ""},
         store,
         "port 1 is /dev/ttyUSB0 (FREQRELAY_PORT1)",
         "stored.txt (the stored settings)",
         "stored.log (the stored settings)"},
        {{"--port", "/dev/pts/9", "--file", "f", "--log", "l"},
         {"ttyUSB0", ""},
         store,
         "port 1 is /dev/pts/9 (--port)",
         "f (--file)",
         "l (--log)"},
        {{},
         {"", "[::1]:4533"},
         {},
         "relaying to rigctld [::1]:4533 (FREQRELAY_RIGCTLD)",
         "ft1000file (the default)",
         " (the default)"},
        {{},
         {"ttyUSB0", ":4599"},
         {},
         "relaying to rigctld 127.0.0.1:4599 (FREQRELAY_RIGCTLD)",
         "ft1000file (the default)",
         " (the default)"},
        {{"-p", "ttyUSB1"},
         {"", ":4599"},
         storeToRigctld,
         "port 1 is /dev/ttyUSB1 (--port)",
         "ft1000file (the default)",
         " (the default)"},
        {{"--rigctld"},
         {"ttyUSB0", ":4599"},
         storeToRigctld,
         "relaying to rigctld 127.0.0.1:4599 (--rigctld)",
         "ft1000file (the default)",
         " (the default)"},
        {{"--rigctld"},
         {},
         storeToRigctld,
         "relaying to rigctld [::1]:4533 (--rigctld)",
         "ft1000file (the default)",
         " (the default)"},
        {{"--rigctld", "-q"},
         {},
         store,
         "relaying to rigctld 127.0.0.1:4532 (--rigctld)",
         "stored.txt (the stored settings)",
         "stored.log (the stored settings)"},
        {{},
         {},
         store,
         "port 1 is /dev/ttyUSB3 (the stored settings)",
         "stored.txt (the stored settings)",
         "stored.log (the stored settings)"},
        {{},
         {},
         storeToRigctld,
         "relaying to rigctld [::1]:4533 (the stored settings)",
         "ft1000file (the default)",
         " (the default)"},
        {{},
         {"ttyUSB0", ""},
         storeToRigctld,
         "port 1 is /dev/ttyUSB0 (FREQRELAY_PORT1)",
         "ft1000file (the default)",
         " (the default)"},
    };
    for (const auto& named : cases) {
        SCOPED_TRACE(named.target);
        const Parsed parsed =
            Options::parse(QStringList{"freqrelay"} + named.arguments, named.environment, named.stored);
        ASSERT_EQ(parsed.action, Parsed::Action::Run) << parsed.text.toStdString();
        EXPECT_EQ(parsed.settings.target(), named.target);
        EXPECT_EQ(parsed.settings.file + " (" + parsed.settings.fileFrom + ")", named.file);
        EXPECT_EQ(parsed.settings.log + " (" + parsed.settings.logFrom + ")", named.log);
        EXPECT_EQ(parsed.quiet, named.arguments.contains("-q"));
    }
    // A variable that cannot be read is refused as an option is, by its name.
    const Parsed refused = Options::parse({"freqrelay"}, {"", "::1"});
    EXPECT_EQ(refused.action, Parsed::Action::Refused);
    EXPECT_TRUE(refused.text.startsWith("freqrelay: FREQRELAY_RIGCTLD ::1: an IPv6 address goes in brackets"))
        << refused.text.toStdString();
}
