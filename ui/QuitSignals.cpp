#include "QuitSignals.h"

#include <csignal>

namespace freqrelay {

namespace {

volatile std::sig_atomic_t quitSignal = 0;

extern "C" void onQuitSignal(int signal) {
    if (quitSignal != 0 && (signal == SIGINT || signal == SIGTERM)) {
        // Asked twice: end now, as the signal's default would have.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    quitSignal = 1;
}

}  // namespace

void QuitSignals::install() {
    std::signal(SIGINT, onQuitSignal);
    std::signal(SIGTERM, onQuitSignal);
#ifdef SIGHUP
    std::signal(SIGHUP, onQuitSignal);
#endif
}

bool QuitSignals::received() noexcept { return quitSignal != 0; }

}  // namespace freqrelay
