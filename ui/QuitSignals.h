#pragma once

namespace freqrelay {

// SIGINT and SIGTERM (Ctrl-C, a service stop) end the relay as QUIT does.
// The handler only raises a flag; the poll loop reads it after each pump.
class QuitSignals {
public:
    static void install();
    static bool received() noexcept;
};

}  // namespace freqrelay
