#pragma once

namespace freqrelay {

// SIGINT, SIGTERM and SIGHUP (Ctrl-C, a service stop, the terminal closing)
// end the relay as QUIT does. The handler only raises a flag; the poll loop
// reads it after each pump, and every wait for the line reads it too. A
// second SIGINT or SIGTERM while the relay is ending ends it at once. SIGINT
// and SIGHUP are left alone when the relay was started with them ignored.
// On Windows, Ctrl+C, Ctrl+Break and closing the console window do the same.
// SIGPIPE is ignored: a log whose reader has gone must not end the relay.
class QuitSignals {
public:
    static void install();
    static bool received() noexcept;
};

}  // namespace freqrelay
