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
};

}  // namespace freqrelay
