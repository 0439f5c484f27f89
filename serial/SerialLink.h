#pragma once

#include "core/Encoder.h"
#include "core/Episodes.h"
#include "serial/SerialControl.h"

#include <string>
#include <vector>

namespace freqrelay {

// Puts one command on serial port 1: choose the port, set the line to
// 4800 baud, 8 data bits, no parity, 2 stop bits, keep RTS low, open, write
// and drain, close. The port is open only for the command.
class SerialLink {
public:
    static constexpr const char* kLineSettings = "4800,N,8,2";

    explicit SerialLink(SerialControl& control) : control_(control) {}

    // Sends `command`, going on from the step that failed last time: the
    // port a failed write or close left open stays held, and a failed
    // opening is tried again as an opening. Raises a StepFailure.
    void send(const Command& command);
    // Sends `command` from the first step, leaving alone what a failed
    // `send` is waiting to repeat; a port it opened itself is let go of
    // when it fails. Raises a StepFailure.
    void sendWhole(const Command& command);
    // Gives up the command a failed `send` is waiting to repeat, letting go
    // of the port at once if it is held.
    void abandon() noexcept;
    // Whether the command of the failed `send` has already left for the
    // wire, so that only letting go of the port is left.
    bool commandIsOnTheLine() const { return next_ == Step::Close; }
    std::string device() const { return control_.device(); }
    // The steps the last `send` ran without failing, in plain words.
    const std::vector<std::string>& stepsThatWorked() const { return worked_; }

private:
    enum class Step { ChoosePort, SetLine, LowerRts, Open, Write, Close, Done };
    static const char* nameOf(Step step);
    void run(Step step, const Command& command);
    // Runs the steps from `at` on, leaving `at` at the one that failed.
    void runSteps(Step& at, const Command& command);

    SerialControl& control_;
    Step next_ = Step::ChoosePort;
    std::vector<std::string> worked_;
};

}  // namespace freqrelay
