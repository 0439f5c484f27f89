#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace freqrelay {

// Text for the user on standard output or error: UTF-16 to a Windows
// console, so that every letter shows whatever its code page; UTF-8 to a
// file or pipe there, and the locale's encoding elsewhere.
class Console {
public:
    // Called before anything is opened. On Windows a window program takes
    // its starting shell's console. On POSIX a closed standard descriptor
    // is opened on /dev/null, or the next file opened (the signal pipe, the
    // port, the log) would take its number and receive the console's text.
    static void claimStandardStreams();
    static void write(std::FILE* stream, const QString& text);
    // A log message on standard error, through Qt's own `qtHandler` so that
    // the journal and QT_MESSAGE_PATTERN work; on Windows, where Qt sends a
    // window program's messages to the debugger only, written here.
    static void writeLog(QtMsgType type, const QMessageLogContext& context, const QString& message,
                         QtMessageHandler qtHandler);
};

}  // namespace freqrelay
