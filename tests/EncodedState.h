#pragma once

#include "RecordingDisplay.h"
#include "core/Encoder.h"
#include "core/RelayState.h"

#include <string>

// Every encoding step in order, as the poll loop runs them when none fails.
inline void encodeAll(freqrelay::RelayState& state, freqrelay::Display& display) {
    for (int step = 0; step < freqrelay::Encoder::kStepCount; ++step) {
        freqrelay::Encoder::runStep(static_cast<freqrelay::EncodeStep>(step), state, display);
    }
}

// The relay state as the encoder leaves it for a file's text.
inline freqrelay::RelayState encodedState(const std::string& fileText) {
    freqrelay::RelayState state;
    RecordingDisplay display;
    state.h = "&H";
    state.freq = freqrelay::Variant(fileText);
    encodeAll(state, display);
    return state;
}
