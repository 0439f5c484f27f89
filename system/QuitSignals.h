#pragma once

#include <functional>

class QObject;

namespace freqrelay {

// SIGINT, SIGTERM and SIGHUP (and on Windows Ctrl+C, Ctrl+Break and closing
// the console) end the relay as QUIT does: the handler raises a flag, which
// a step waiting on a stalled line reads, and wakes the event loop. A second
// SIGINT or SIGTERM ends it at once. SIGINT and SIGHUP started ignored stay so.
// SIGPIPE is ignored: a log whose reader has gone must not end the relay.
class QuitSignals {
public:
    static void install();
    static bool received() noexcept;
    // Calls `quit` from the event loop once a stop is asked for, also before
    // this call; as long as `context` lives.
    static void whenReceived(QObject* context, std::function<void()> quit);
};

}  // namespace freqrelay
