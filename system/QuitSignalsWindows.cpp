// The handlers run on threads of their own: they set an event the event
// loop waits on.
#include "system/QuitSignals.h"

#include <QWinEventNotifier>

#include <windows.h>
#include <csignal>

namespace freqrelay {

namespace {

volatile std::sig_atomic_t quitSignal = 0;
HANDLE asked = nullptr;

void raiseQuit() {
    quitSignal = 1;
    if (asked != nullptr) {
        ::SetEvent(asked);
    }
}

extern "C" void onQuitSignal(int signal) {
    if (quitSignal != 0) {
        // Asked twice: end now, as the signal's default would have.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    raiseQuit();
}

// Ctrl+C, Ctrl+Break, and closing the console, logging off or shutting down
// while the relay writes to a console.
BOOL WINAPI onConsoleEvent(DWORD event) {
    raiseQuit();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The process ends when this returns; the relay closes the port and
        // ends itself well within this time.
        ::Sleep(4000);
    }
    return TRUE;
}

}  // namespace

void QuitSignals::install() {
    asked = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    std::signal(SIGINT, onQuitSignal);
    std::signal(SIGTERM, onQuitSignal);
}

bool QuitSignals::received() noexcept { return quitSignal != 0; }

void QuitSignals::whenReceived(QObject* context, std::function<void()> quit) {
    if (asked == nullptr) {
        return;
    }
    auto* ready = new QWinEventNotifier(asked, context);
    QObject::connect(ready, &QWinEventNotifier::activated, context, [ready, quit = std::move(quit)] {
        ready->setEnabled(false);  // the event stays set: once is enough
        quit();
    });
}

}  // namespace freqrelay
