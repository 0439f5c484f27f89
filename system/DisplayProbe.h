#pragma once

#include <string>

namespace freqrelay {

// Where the window is to be drawn, looked at before Qt starts.
class DisplayProbe {
public:
    // With no display at all, run offscreen rather than fail to start: the
    // relay's work is the serial line, not the window.
    static void useOffscreenWithoutDisplay();
    // Qt dumps core when its X server cannot be reached, so the connection
    // is tried first, through the library Qt would use. The name of an
    // unreachable display, or "" when it was reached or cannot be tried.
    static std::string unreachableDisplay();
};

}  // namespace freqrelay
