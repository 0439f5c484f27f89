#pragma once

#include "core/Link.h"
#include "links/SerialControl.h"

#include <memory>
#include <string>
#include <utility>

namespace freqrelay {

// Puts one command on serial port 1: choose the port, set the line to
// 4800 baud, 8 data bits, no parity, 2 stop bits, keep RTS low, open, write
// and drain, close. The port is open only for the command. Each sending
// ends before `send` returns.
class SerialLink final : public Link {
public:
    static constexpr const char* kLineSettings = "4800,N,8,2";

    explicit SerialLink(SerialControl& control) : control_(control) {}
    // Over a control of its own, which goes with the link.
    explicit SerialLink(std::unique_ptr<SerialControl> control) : owned_(std::move(control)), control_(*owned_) {}

    // Going on from the failed step: the port a failed write or close left
    // open stays held, and a failed opening is tried again as an opening.
    void send(const Command& command, Done done) override;
    // From the first step; a port it opened itself is let go of when it
    // fails, and a port a failed `send` holds makes it fail at once.
    void sendWhole(const Command& command, Done done) override;
    void abandon() noexcept override;
    bool commandIsOnTheLine() const override { return next_ == Step::Close; }
    std::string destination(const Command&) const override { return control_.device(); }

private:
    enum class Step { ChoosePort, SetLine, LowerRts, Open, Write, Close, Done };
    // As failures and the log name the step.
    static const char* nameOf(Step step);
    void run(Step step, const Command& command);
    // Runs the steps from `at` on, leaving `at` at the one that failed.
    Sending runSteps(Step& at, const Command& command);

    std::unique_ptr<SerialControl> owned_;
    SerialControl& control_;
    Step next_ = Step::ChoosePort;
};

}  // namespace freqrelay
