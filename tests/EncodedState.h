#pragma once

#include "RecordingDisplay.h"
#include "core/Encoder.h"
#include "core/RelayState.h"

#include <string>

// The relay state as the encoder leaves it for a file's text.
inline freqrelay::RelayState encodedState(const std::string& fileText) {
    freqrelay::RelayState state;
    RecordingDisplay display;
    state.h = "&H";
    state.freq = freqrelay::Variant(fileText);
    freqrelay::Encoder::encode(state, display);
    return state;
}
