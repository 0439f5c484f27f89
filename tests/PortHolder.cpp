// Holds the serial port its argument names open, as another program would,
// until its standard input closes. Prints "held" once the port is open.
#include "core/RelayFailure.h"
#include "links/QtSerialControl.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        return 2;
    }
    freqrelay::QtSerialControl control{argv[1]};
    try {
        control.setPortOpen(true);
    } catch (const freqrelay::RelayFailure& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    control.setPortOpen(false);
    return 0;
}
