#include "SendCommand.h"

#include "Encoder.h"

#include <stdexcept>
#include <string>

namespace freqrelay {

SendCommand::SendCommand(SerialControl& control, RelayState& state)
    : control_(control), state_(state) {}

void SendCommand::runStep(int index) {
    switch (index) {
    case 0: control_.setCommPort(1); break;
    case 1: control_.setInputMode(0); break;  // text mode
    case 2: control_.setSettings(kLineSettings); break;
    case 3: control_.setRTSEnable(false); break;
    case 4: control_.setRThreshold(1); break;
    case 5: control_.setInputLen(0); break;
    case 6: control_.setInBufferCount(0); break;
    case 7: control_.setPortOpen(true); break;
    case 8: Encoder::buildCommand(state_); break;
    case 9:
        // A port lost during an earlier try of this write was let go of; a
        // repeated write must open it again, or it could never succeed.
        if (!control_.portOpen()) {
            control_.setPortOpen(true);
        }
        control_.setOutput(state_.fr.toText());
        break;
    case 10: control_.setPortOpen(false); break;
    default: throw std::out_of_range("no send step " + std::to_string(index));
    }
}

std::string SendCommand::stepName(int index) const {
    switch (index) {
    case 0: return "choosing the port";
    case 2: return "setting the line";
    case 7: return "opening the port";
    case 8: return "building the command";
    case 9: return "writing the command";
    case 10: return "closing the port";
    default: return "configuring the port";
    }
}

void SendCommand::run() {
    for (int step = 0; step < kStepCount; ++step) {
        runStep(step);
    }
}

}  // namespace freqrelay
