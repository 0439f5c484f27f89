#pragma once

#include "core/RelayObserver.h"

#include <QLoggingCategory>

#include <functional>
#include <string>

Q_DECLARE_LOGGING_CATEGORY(relayLog)

namespace freqrelay {

// Text as it can be shown: valid UTF-8 as it is, every other byte and every
// control character escaped ("\xFF"), so that a path or a file's text that
// is no valid text is still told exactly.
QString readable(const std::string& bytes);

// The relay's log on standard error, through Qt's logging in the category
// "freqrelay.relay", so QT_LOGGING_RULES and QT_MESSAGE_PATTERN apply and a
// service's lines land in the journal. Commands are told as information,
// failures and their clearing as warnings, so that hiding the information
// lines ("freqrelay.relay.info=false", as --quiet does) keeps only failures.
class RelayLog final : public RelayObserver {
public:
    // `device` names the port a command went to, as it is when it is told.
    explicit RelayLog(std::function<std::string()> device);

    // The line at start: version, the polled file, and where port 1 leads.
    static void started(const std::string& file, const std::string& device, const std::string& mappedBy);
    void reSendFailed(const std::string& reason);

    void stepFailed(const StepFailure& failure) override;
    void failureCleared(const StepFailure& failure, std::chrono::steady_clock::duration lasted, int tries) override;
    void commandSent(const std::string& command, const std::string& digits) override;
    void commandDropped(const std::string& digits, const std::string& start) override;
    void textHasNoNumber(const std::string& file, const std::string& start) override;

private:
    std::function<std::string()> device_;
};

}  // namespace freqrelay
