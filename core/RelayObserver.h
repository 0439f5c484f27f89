#pragma once

#include <chrono>
#include <string>

namespace freqrelay {

// Which part of the relay's work a step belongs to.
enum class StepArea { File, Encoding, Port };

// One failed step, as the operator should hear of it.
struct StepFailure {
    std::string step;    // in plain words: "opening the port"
    std::string reason;  // names the file or port: "/dev/ttyUSB0: Permission denied"
    StepArea area = StepArea::File;
    bool retrying = true;  // false when nothing will be sent for this text
};

// Told what the poll loop does that the operator cannot see on the line: the
// window and the log both listen. A failure is told once when it starts, not
// at every retry, and once more when it clears.
class RelayObserver {
public:
    virtual ~RelayObserver() = default;
    virtual void stepFailed(const StepFailure& failure) = 0;
    virtual void failureCleared(const StepFailure& failure, std::chrono::steady_clock::duration lasted,
                                int tries) = 0;
    // `command` is the five bytes written and drained; `digits` is Out.
    virtual void commandSent(const std::string& command, const std::string& digits) = 0;
};

}  // namespace freqrelay
