#pragma once

#include "core/CommandSteps.h"
#include "core/RelayState.h"
#include "serial/SerialControl.h"

namespace freqrelay {

// The steps of putting one command on the line, in their order.
enum class SendStep {
    ChoosePort,
    SetTextMode,
    SetLine,
    LowerRts,
    SetReceiveThreshold,
    SetInputLength,
    EmptyInput,
    Open,
    BuildCommand,
    Write,
    Close,
};

// Puts one five-byte command on serial port 1: configure, open, build the
// command from c1 to c5, write, close. Each step can be run on its own so
// that the poll loop can repeat the one that failed.
class SendCommand final : public CommandSteps {
public:
    static constexpr int kStepCount = static_cast<int>(SendStep::Close) + 1;
    static constexpr const char* kLineSettings = "4800,N,8,2";

    SendCommand(SerialControl& control, RelayState& state);

    int stepCount() const override { return kStepCount; }
    void runStep(int index) override { run(static_cast<SendStep>(index)); }
    std::string stepName(int index) const override { return nameOf(static_cast<SendStep>(index)); }
    // Closes a port left open at once, dropping what it still holds.
    void abandon() noexcept override { control_.forceClose(); }

    void run(SendStep step);
    // Each step in plain words, for telling the operator.
    static std::string nameOf(SendStep step);
    // The steps from `first` to `last`, both included, stopping at the
    // first failure.
    void run(SendStep first, SendStep last);

    // All steps straight through, stopping at the first failure.
    void run();

private:
    SerialControl& control_;
    RelayState& state_;
};

}  // namespace freqrelay
