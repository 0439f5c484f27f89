#include "core/Paths.h"
#include "relay/RelayLog.h"
#include "system/QuitSignals.h"
#include "ui/Form1.h"
#include "ui/Options.h"

#include <QApplication>

int main(int argc, char** argv) {
    using namespace freqrelay;
    Options options;
    if (const auto status = options.take(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    Options::setUpApplication();
    // The event loop serves a signal only after a step's wait on a stalled
    // line: that wait must not hold up the stop.
    const auto link = options.settings.makeLink([] { return QuitSignals::received(); });
    Relay relay(options.settings.file, *link);
    Form1 form(relay);
    RelayLog::follow(relay);
    // Qt tells of the Windows session's end only this way, and the process
    // ends right after: the port is closed at once.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.Command1_Click(); });
    // A stop asked for by a signal or the console ends the relay as QUIT does.
    QuitSignals::whenReceived(&form, [&form] { form.Command1_Click(); });
    RelayLog::started(absolutePath(options.settings.file), options.settings.target());
    form.Form_Load();
    return QApplication::exec();
}
