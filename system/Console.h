#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace freqrelay {

// Text for the user on standard output or error. A Windows console is
// written in UTF-16, so that every letter shows whatever its code page;
// output redirected to a file or a pipe gets UTF-8 there, and the locale's
// encoding elsewhere.
class Console {
public:
    // Gives standard output and error a place to lead before anything else
    // is opened. On Windows a window program has none of its own: it takes
    // the console of the shell that started it, when there is one. On POSIX
    // a closed standard descriptor is opened on /dev/null, or the next file
    // opened (the signal pipe, the port, the log) would take its number and
    // receive what is written to the console.
    static void claimStandardStreams();
    static void write(std::FILE* stream, const QString& text);
    // A log message on standard error. Elsewhere Qt's own handler `qtHandler`
    // writes it, so that the journal and QT_MESSAGE_PATTERN work as for any
    // Qt program; on Windows Qt would send a window program's messages to
    // the debugger only, so it is written to the console here.
    static void writeLog(QtMsgType type, const QMessageLogContext& context, const QString& message,
                         QtMessageHandler qtHandler);
};

}  // namespace freqrelay
