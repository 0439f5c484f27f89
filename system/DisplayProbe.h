#pragma once

#include <string>

namespace freqrelay {

// Where the window is to be drawn, looked at before Qt starts. Each system
// has its own part.
class DisplayProbe {
public:
    // With no display at all, run offscreen rather than fail to start: the
    // relay's work is the serial line, not the window.
    static void useOffscreenWithoutDisplay();
    // Qt aborts with a core dump when the X server it is told of cannot be
    // reached, so the relay tries the connection first, through the same
    // library Qt would use, and ends with a plain message instead. The name
    // of an unreachable display, or "" when it was reached or cannot be
    // tried.
    static std::string unreachableDisplay();
};

}  // namespace freqrelay
