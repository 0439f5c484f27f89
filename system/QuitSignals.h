#pragma once

#include <functional>

class QObject;

namespace freqrelay {

// SIGINT, SIGTERM and SIGHUP (Ctrl-C, a service stop, the terminal closing)
// end the relay as QUIT does. The handler raises a flag, which a step that
// waits for a stalled line reads, and wakes the event loop, which then ends
// the relay. A second SIGINT or SIGTERM while the relay is ending ends it at
// once. SIGINT and SIGHUP are left alone when the relay was started with
// them ignored. On Windows, Ctrl+C, Ctrl+Break and closing the console
// window do the same. SIGPIPE is ignored: a log whose reader has gone must
// not end the relay. Each system has its own part.
class QuitSignals {
public:
    static void install();
    static bool received() noexcept;
    // Calls `quit` from the event loop once a stop has been asked for, also
    // one asked for before this call; as long as `context` lives.
    static void whenReceived(QObject* context, std::function<void()> quit);
};

}  // namespace freqrelay
