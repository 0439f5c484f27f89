#pragma once

namespace freqrelay {

// What the poll loop needs to know from around it.
class LoopHost {
public:
    virtual ~LoopHost() = default;
    // Set by QUIT (or anything that ends the program as QUIT does), so that
    // a step given up for it is not told as one to be tried again.
    virtual bool quitRequested() const = 0;
};

}  // namespace freqrelay
