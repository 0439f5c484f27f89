#pragma once

#include <stdexcept>
#include <string>

namespace freqrelay {

// What went wrong in a step. The poll loop decides by the kind whether
// waiting and repeating the step can help.
enum class FailureKind { Overflow, File, Port, Settings, Memory };

// The one run-time failure a relay step raises. Its message names the
// file, port or value that failed.
// A reason as the system words it, made to end a sentence of the relay's
// own: without trailing blanks or line ends, and without its own full stop
// (Windows' texts end in one, and "..." would follow).
std::string systemReasonText(std::string text);

class RelayFailure : public std::runtime_error {
public:
    RelayFailure(FailureKind kind, const std::string& message);

    FailureKind kind() const noexcept { return kind_; }

    // An overflow comes from the number in the file itself: repeating the
    // step gives the same overflow again, so only a new text can help.
    bool repeatingCannotCure() const noexcept { return kind_ == FailureKind::Overflow; }

private:
    FailureKind kind_;
};

}  // namespace freqrelay
