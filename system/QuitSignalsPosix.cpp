// The handler writes to a pipe the event loop watches: the one safe way for
// it to wake the loop.
#include "system/QuitSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

namespace freqrelay {

namespace {

volatile std::sig_atomic_t quitSignal = 0;
int wakeRead = -1;
int wakeWrite = -1;

extern "C" void onQuitSignal(int signal) {
    if (quitSignal != 0 && (signal == SIGINT || signal == SIGTERM)) {
        // Asked twice: end now, as the signal's default would have.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    quitSignal = 1;
    const int savedErrno = errno;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite, "q", 1);
    errno = savedErrno;
}

// A signal the relay was started with ignored (SIGHUP under nohup, SIGINT
// in a background job) stays ignored, as the one who started it asked.
void installUnlessIgnored(int signal) {
    struct sigaction inherited {};
    if (::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) {
        return;
    }
    std::signal(signal, onQuitSignal);
}

}  // namespace

void QuitSignals::install() {
    int ends[2];
    if (::pipe(ends) == 0) {
        for (const int end : ends) {
            ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
            ::fcntl(end, F_SETFD, FD_CLOEXEC);
        }
        wakeRead = ends[0];
        wakeWrite = ends[1];
    }
    installUnlessIgnored(SIGINT);
    std::signal(SIGTERM, onQuitSignal);
    installUnlessIgnored(SIGHUP);
    // A log reader that has gone (a pipe to head) makes a write fail with
    // EPIPE, which the log handles; the default would end the relay.
    std::signal(SIGPIPE, SIG_IGN);
}

bool QuitSignals::received() noexcept { return quitSignal != 0; }

void QuitSignals::whenReceived(QObject* context, std::function<void()> quit) {
    if (wakeRead < 0) {
        return;
    }
    auto* ready = new QSocketNotifier(wakeRead, QSocketNotifier::Read, context);
    QObject::connect(ready, &QSocketNotifier::activated, context, [quit = std::move(quit)] {
        char drained[16];
        while (::read(wakeRead, drained, sizeof drained) > 0) {
        }
        quit();
    });
}

}  // namespace freqrelay
