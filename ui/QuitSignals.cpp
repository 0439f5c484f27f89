#include "ui/QuitSignals.h"

#include <csignal>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

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

// A signal the relay was started with ignored (SIGHUP under nohup, SIGINT
// in a background job) stays ignored, as the one who started it asked.
void installUnlessIgnored(int signal) {
#ifdef _WIN32
    std::signal(signal, onQuitSignal);
#else
    struct sigaction inherited {};
    if (::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) {
        return;
    }
    std::signal(signal, onQuitSignal);
#endif
}

#ifdef _WIN32
// Ctrl+C, Ctrl+Break, and closing the console, logging off or shutting down
// while the relay writes to a console.
BOOL WINAPI onConsoleEvent(DWORD event) {
    quitSignal = 1;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The system ends the process as soon as this returns; the relay
        // closes the port and ends itself well within this time.
        ::Sleep(4000);
    }
    return TRUE;
}
#endif

}  // namespace

void QuitSignals::install() {
#ifdef _WIN32
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#endif
    installUnlessIgnored(SIGINT);
    std::signal(SIGTERM, onQuitSignal);
#ifdef SIGHUP
    installUnlessIgnored(SIGHUP);
#endif
#ifdef SIGPIPE
    // A log reader that has gone (a pipe to head, a FIFO's reader) makes a
    // write fail with EPIPE, which the log handles; the signal's default
    // would end the relay instead.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool QuitSignals::received() noexcept { return quitSignal != 0; }

}  // namespace freqrelay
