#pragma once

#include <QLoggingCategory>

#include <string>

Q_DECLARE_LOGGING_CATEGORY(relayLog)

namespace freqrelay {

// Text as it can be shown: valid UTF-8 as it is, every other byte and every
// control character escaped ("\xFF"), so that a path or a file's text that
// is no valid text is still told exactly.
QString readable(const std::string& bytes);

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
