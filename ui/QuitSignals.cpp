#include "QuitSignals.h"

#include <csignal>

namespace freqrelay {

namespace {

volatile std::sig_atomic_t quitSignal = 0;

extern "C" void onQuitSignal(int) { quitSignal = 1; }

}  // namespace

void QuitSignals::install() {
    std::signal(SIGINT, onQuitSignal);
    std::signal(SIGTERM, onQuitSignal);
}

bool QuitSignals::received() noexcept { return quitSignal != 0; }

}  // namespace freqrelay
