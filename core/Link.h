#pragma once

#include "core/Encoder.h"
#include "core/Episodes.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace freqrelay {

// How a sending ended: the failure, if any, and the steps that worked.
struct Sending {
    std::optional<StepFailure> failure;
    std::vector<std::string> worked;
    std::vector<std::string> notes;  // what the operator should know of how it went
};

// The way a command reaches the radio: serial port 1, or a rig control
// server. A sending ends by calling its `done` once, maybe before `send`
// returns; a link sends one command at a time.
class Link {
public:
    using Done = std::function<void(const Sending&)>;

    virtual ~Link() = default;
    // Sends `command`, going on from the step that failed last time.
    virtual void send(const Command& command, Done done) = 0;
    // Sends `command` whole, as ReSend does, leaving alone what a failed
    // `send` waits to repeat.
    virtual void sendWhole(const Command& command, Done done) = 0;
    // Gives up a command not yet sent, and whatever it holds, at once;
    // `done` is not called for it.
    virtual void abandon() noexcept = 0;
    // Whether the command of a failed `send` has already reached the radio,
    // or a server that will carry it out, so that only tidying up or its
    // answer is left to wait for.
    virtual bool commandIsOnTheLine() const = 0;
    // Where `command` went, as the operator reads it: "/dev/ttyUSB0", or
    // "rigctld 127.0.0.1:4532 as 14250000 Hz".
    virtual std::string destination(const Command& command) const = 0;
};

}  // namespace freqrelay
