#include "system/CommandLine.h"

#include <QByteArray>

namespace freqrelay {

// Taken one byte to one character, so that an argument that is no valid
// text comes back out byte for byte (toLatin1).
QStringList CommandLine::arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLatin1(argv[i]);
    }
    return arguments;
}

std::string CommandLine::pathOf(const QString& argument) { return argument.toLatin1().toStdString(); }

bool CommandLine::asksForHelp(const QString&) { return false; }

QString CommandLine::variable(const char* name) { return QString::fromLatin1(qgetenv(name)); }

}  // namespace freqrelay
