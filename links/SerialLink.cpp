#include "links/SerialLink.h"

#include "core/RelayFailure.h"

namespace freqrelay {

const char* SerialLink::nameOf(Step step) {
    switch (step) {
    case Step::ChoosePort: return "choosing the port";
    case Step::SetLine: return "setting the line";
    case Step::LowerRts: return "configuring the port";
    case Step::Open: return "opening the port";
    case Step::Write: return "writing the command";
    case Step::Close: return "closing the port";
    case Step::Done: break;
    }
    return "";
}

void SerialLink::run(Step step, const Command& command) {
    switch (step) {
    case Step::ChoosePort: control_.setCommPort(1); break;
    case Step::SetLine: control_.setSettings(kLineSettings); break;
    case Step::LowerRts: control_.setRTSEnable(false); break;
    case Step::Open: control_.setPortOpen(true); break;
    case Step::Write:
        // A port lost during an earlier try of this write was let go of; a
        // repeated write must open it again, or it could never succeed.
        if (!control_.portOpen()) {
            control_.setPortOpen(true);
        }
        control_.setOutput(std::string(command.begin(), command.end()));
        break;
    case Step::Close: control_.setPortOpen(false); break;
    case Step::Done: break;
    }
}

Sending SerialLink::runSteps(Step& at, const Command& command) {
    Sending sending;
    try {
        for (; at != Step::Done; at = static_cast<Step>(static_cast<int>(at) + 1)) {
            run(at, command);
            sending.worked.emplace_back(nameOf(at));
        }
    } catch (const RelayFailure& failure) {
        sending.failure = StepFailure{nameOf(at), failure.what(), StepArea::Port};
    }
    return sending;
}

void SerialLink::send(const Command& command, Done done) {
    const Sending sending = runSteps(next_, command);
    if (!sending.failure) {
        next_ = Step::ChoosePort;
    }
    done(sending);
}

void SerialLink::sendWhole(const Command& command, Done done) {
    const bool heldBefore = control_.portOpen();
    Step at = Step::ChoosePort;
    const Sending sending = runSteps(at, command);
    // A port left open here would make every later command fail at its
    // first step.
    if (sending.failure && !heldBefore) {
        control_.forceClose();
    }
    done(sending);
}

void SerialLink::abandon() noexcept {
    control_.forceClose();
    next_ = Step::ChoosePort;
}

}  // namespace freqrelay
