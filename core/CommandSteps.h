#pragma once

#include <string>

namespace freqrelay {

// Sending one command, as a fixed list of steps the poll loop can run one
// at a time and repeat on failure.
class CommandSteps {
public:
    virtual ~CommandSteps() = default;
    virtual int stepCount() const = 0;
    virtual void runStep(int index) = 0;
    // What step `index` does, in plain words, for telling the operator.
    virtual std::string stepName(int index) const = 0;
    // Gives up a command before it is on the line, letting go of the port
    // if a step left it open. The command is on the line once every step
    // but the last has run; the last lets go of the port.
    virtual void abandon() noexcept = 0;
};

}  // namespace freqrelay
