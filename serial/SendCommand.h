#pragma once

#include "CommandSteps.h"
#include "RelayState.h"
#include "SerialControl.h"

namespace freqrelay {

// Puts one five-byte command on serial port 1: configure, open, build the
// command from c1 to c5, write, close. Each step can be run on its own so
// that the poll loop can repeat the one that failed.
class SendCommand final : public CommandSteps {
public:
    static constexpr int kStepCount = 11;
    static constexpr const char* kLineSettings = "4800,N,8,2";

    SendCommand(SerialControl& control, RelayState& state);

    int stepCount() const override { return kStepCount; }
    void runStep(int index) override;
    std::string stepName(int index) const override;

    // All steps straight through, stopping at the first failure.
    void run();

private:
    SerialControl& control_;
    RelayState& state_;
};

}  // namespace freqrelay
