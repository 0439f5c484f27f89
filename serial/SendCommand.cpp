#include "serial/SendCommand.h"

#include "core/Encoder.h"

#include <string>

namespace freqrelay {

SendCommand::SendCommand(SerialControl& control, RelayState& state) : control_(control), state_(state) {}

void SendCommand::run(SendStep step) {
    switch (step) {
    case SendStep::ChoosePort: control_.setCommPort(1); break;
    case SendStep::SetTextMode: control_.setInputMode(0); break;
    case SendStep::SetLine: control_.setSettings(kLineSettings); break;
    case SendStep::LowerRts: control_.setRTSEnable(false); break;
    case SendStep::SetReceiveThreshold: control_.setRThreshold(1); break;
    case SendStep::SetInputLength: control_.setInputLen(0); break;
    case SendStep::EmptyInput: control_.setInBufferCount(0); break;
    case SendStep::Open: control_.setPortOpen(true); break;
    case SendStep::BuildCommand: Encoder::buildCommand(state_); break;
    case SendStep::Write:
        // A port lost during an earlier try of this write was let go of; a
        // repeated write must open it again, or it could never succeed.
        if (!control_.portOpen()) {
            control_.setPortOpen(true);
        }
        control_.setOutput(state_.fr.toText());
        break;
    case SendStep::Close: control_.setPortOpen(false); break;
    }
}

std::string SendCommand::nameOf(SendStep step) {
    switch (step) {
    case SendStep::ChoosePort: return "choosing the port";
    case SendStep::SetTextMode: return "configuring the port";
    case SendStep::SetLine: return "setting the line";
    case SendStep::LowerRts: return "configuring the port";
    case SendStep::SetReceiveThreshold: return "configuring the port";
    case SendStep::SetInputLength: return "configuring the port";
    case SendStep::EmptyInput: return "configuring the port";
    case SendStep::Open: return "opening the port";
    case SendStep::BuildCommand: return "building the command";
    case SendStep::Write: return "writing the command";
    case SendStep::Close: return "closing the port";
    }
    return {};
}

void SendCommand::run(SendStep first, SendStep last) {
    for (int step = static_cast<int>(first); step <= static_cast<int>(last); ++step) {
        run(static_cast<SendStep>(step));
    }
}

void SendCommand::run() { run(SendStep::ChoosePort, SendStep::Close); }

}  // namespace freqrelay
