#pragma once

#include "system/LogText.h"

#include <string>

namespace freqrelay {

class Relay;

// The relay's log on standard error, through Qt's logging in the category
// "freqrelay.relay", so QT_LOGGING_RULES and QT_MESSAGE_PATTERN apply and a
// service's lines land in the journal. Commands are told as information,
// failures and their clearing as warnings, so that hiding the information
// lines ("freqrelay.relay.info=false", as --quiet does) keeps only failures.
class RelayLog {
public:
    // The line at start: version, the polled file, and where commands go.
    static void started(const std::string& file, const std::string& target);
    // Tells from now on what `relay` does.
    static void follow(const Relay& relay);
};

}  // namespace freqrelay
