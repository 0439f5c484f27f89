#include "system/CommandLine.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace freqrelay {

// The ANSI argv loses what the code page lacks (日本語 arrives as ???): the
// arguments are taken in UTF-16.
QStringList CommandLine::arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    QStringList arguments;
    for (int i = 0; i < (wide != nullptr ? count : argc); ++i) {
        arguments << (wide != nullptr ? QString::fromWCharArray(wide[i]) : QString::fromLocal8Bit(argv[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

std::string CommandLine::pathOf(const QString& argument) { return argument.toStdString(); }

bool CommandLine::asksForHelp(const QString& argument) { return argument == QLatin1String("/?"); }

// In UTF-16, as the arguments are.
QString CommandLine::variable(const char* name) { return qEnvironmentVariable(name); }

}  // namespace freqrelay
