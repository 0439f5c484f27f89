#pragma once

namespace freqrelay {

// On Windows the relay holds a named mutex, Local\freqrelay-running, for as
// long as it runs: the installer and the uninstaller look for it and ask for
// the relay to be closed first, instead of replacing or deleting a program
// in use. Elsewhere there is nothing to do.
class RunningMark {
public:
    static void hold();
};

}  // namespace freqrelay
