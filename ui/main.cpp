#include "core/Paths.h"
#include "relay/RelayLog.h"
#include "system/QuitSignals.h"
#include "ui/Form1.h"
#include "ui/Options.h"
#include "ui/RelaySetup.h"
#include "ui/SetupDialog.h"

#include <QApplication>

int main(int argc, char** argv) {
    using namespace freqrelay;
    Options options;
    if (const auto status = options.take(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    Options::setUpApplication();
    RelaySetup setup(options.settings, std::move(options.lock));
    Relay relay(setup.settings().file, setup.link());
    Form1 form(relay);
    RelayLog::follow(relay);
    form.setSetUp([&] {
        SetupDialog dialog(
            setup.settings(), [&](const Settings& chosen) { return setup.apply(chosen, relay); }, &form);
        dialog.exec();
    });
    // Qt tells of the Windows session's end only this way, and the process
    // ends right after: the port is closed at once.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.Command1_Click(); });
    // A stop asked for by a signal or the console ends the relay as QUIT does.
    QuitSignals::whenReceived(&form, [&form] { form.Command1_Click(); });
    RelayLog::started(absolutePath(setup.settings().file), setup.settings().target());
    form.Form_Load();
    return QApplication::exec();
}
