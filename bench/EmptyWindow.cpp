#include "links/QtSerialControl.h"
#include "links/SerialLink.h"
#include "ui/Form1.h"

#include <QApplication>

// The relay's window with all its controls but no poll loop: the benchmark's
// yardstick for what the relay itself adds to memory.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setCursorFlashTime(0);  // as the relay runs
    freqrelay::QtSerialControl port{""};  // never opened
    freqrelay::SerialLink link(port);
    freqrelay::Relay relay(freqrelay::kFrequencyFile, link);
    freqrelay::Form1 form(relay);
    form.show();
    return QApplication::exec();
}
