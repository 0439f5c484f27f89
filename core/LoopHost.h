#pragma once

#include <chrono>

namespace freqrelay {

// What the poll loop needs from the window system around it.
class LoopHost {
public:
    virtual ~LoopHost() = default;
    // Processes every event waiting for the window; the operator's buttons
    // run inside this call.
    virtual void pump() = 0;
    // The wait between polls, for at most `duration`. It may end early
    // once the frequency file has been written, within pacedWake's rule.
    virtual void pause(std::chrono::milliseconds duration) = 0;
    // Set by QUIT (or anything that ends the program as QUIT does); checked
    // right after every pump.
    virtual bool quitRequested() const = 0;
};

}  // namespace freqrelay
