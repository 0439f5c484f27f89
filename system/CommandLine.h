#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace freqrelay {

// The program's arguments, and the paths made from them, with every letter
// kept: in UTF-8 from Windows' UTF-16, byte for byte elsewhere, so that a
// name that is no valid text still names the same file.
class CommandLine {
public:
    static QStringList arguments(int argc, char** argv);
    // The path or device name an argument gives.
    static std::string pathOf(const QString& argument);
    // Whether a lone argument asks for the help as the system's own programs
    // take it: "/?" on Windows; nothing on Unix, where "/?" is a path.
    static bool asksForHelp(const QString& argument);
    // The environment variable `name`, taken as an argument is: "" when unset.
    static QString variable(const char* name);
};

}  // namespace freqrelay
