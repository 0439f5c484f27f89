#pragma once

#include "system/LogText.h"

#include <string>

namespace freqrelay {

class Relay;

// The relay's log, through Qt's logging in "freqrelay.relay", so that
// QT_LOGGING_RULES and QT_MESSAGE_PATTERN apply. Failures and their clearing
// are warnings, the rest information, which --quiet hides.
class RelayLog {
public:
    // The first line: version, the polled file, and where commands go; or,
    // `again`, the line for a relay set up anew while it runs.
    static void started(const std::string& file, const std::string& target, bool again = false);
    // Tells from now on what `relay` does.
    static void follow(const Relay& relay);
};

}  // namespace freqrelay
