#pragma once

namespace freqrelay {

// On Windows a named mutex, Local\freqrelay-running, held while the relay
// runs: the installer and uninstaller ask for the relay to be closed first.
class RunningMark {
public:
    static void hold();
};

}  // namespace freqrelay
