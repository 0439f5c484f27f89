#include "Form1.h"
#include "QuitSignals.h"

#include <QApplication>

#include <cstdio>

namespace {

// With no display at all, run offscreen rather than fail to start: the
// relay's work is the serial line, not the window.
void useOffscreenWithoutDisplay() {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::fputs("freqrelay: no display found; running offscreen\n", stderr);
    }
#endif
}

}  // namespace

int main(int argc, char** argv) {
    // First of all, so that a stop in the first milliseconds is a clean one.
    freqrelay::QuitSignals::install();
    useOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    // The window only repaints at the poll's pumps, so a blinking caret would
    // stutter at the poll rate; its repaints also cost more than the polling.
    QApplication::setCursorFlashTime(0);
    freqrelay::Form1 form;
    form.Form_Load();
    return 0;
}
