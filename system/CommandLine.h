#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace freqrelay {

// The program's arguments as the system gives them, and the names of files
// and devices made from them. A path keeps every letter: Windows passes the
// command line in UTF-16, and the relay keeps its paths in UTF-8 there;
// elsewhere an argument's bytes are kept one to one, so that a name that is
// no valid text still names the same file.
class CommandLine {
public:
    static QStringList arguments(int argc, char** argv);
    // The path or device name an argument gives, as the relay keeps paths.
    static std::string pathOf(const QString& argument);
    // Sets the environment variable `name` to an argument, whole.
    static void setVariable(const char* name, const QString& argument);
};

}  // namespace freqrelay
