#pragma once

#include <chrono>
#include <string>

namespace freqrelay {

inline constexpr std::chrono::seconds kRetellAfter{10};

// Which part of the relay's work a step belongs to.
enum class StepArea { File, Encoding, Port };

// One failed step, as the operator should hear of it.
struct StepFailure {
    std::string step;    // in plain words: "opening the port"
    std::string reason;  // names the file or port: "/dev/ttyUSB0: Permission denied"
    StepArea area = StepArea::File;
    bool retrying = true;   // false when nothing will be sent for this text
    bool quitting = false;  // the relay is ending: nothing is tried again
};

// Told what the poll loop does that the operator cannot see on the line: the
// window and the log both listen. A failure is told once when it starts, not
// at every retry, and once more when it clears; a new reason while the same
// step keeps failing is told at most once per kRetellAfter.
class RelayObserver {
public:
    virtual ~RelayObserver() = default;
    virtual void stepFailed(const StepFailure& failure) = 0;
    virtual void failureCleared(const StepFailure& failure, std::chrono::steady_clock::duration lasted, int tries) = 0;
    // `command` is the five bytes written and drained; `digits` is Out.
    virtual void commandSent(const std::string& command, const std::string& digits) = 0;
    // The command for `digits`, not yet on the line, was given up: the file
    // has come to hold another text since, whose interpreted start is
    // `start`.
    virtual void commandDropped(const std::string& digits, const std::string& start) = 0;
    // A changed text whose interpreted start (`start`) holds no number, so
    // that zeros are sent for it.
    virtual void textHasNoNumber(const std::string& file, const std::string& start) = 0;
};

}  // namespace freqrelay
