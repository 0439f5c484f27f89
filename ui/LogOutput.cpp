#include "ui/LogOutput.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace freqrelay {

namespace {

std::FILE* logFile = nullptr;
QtMessageHandler systemHandler = nullptr;

void writeLine(std::FILE* stream, const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stream);
    std::fflush(stream);
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
#ifdef Q_OS_WIN
    const QString line = qFormatLogMessage(type, context, message);
    if (logFile != nullptr) {
        writeLine(logFile, line.toUtf8() + '\n');
    }
    // Qt would send a window program's messages to the debugger only.
    (void)systemHandler;
    writeLine(stderr, line.toLocal8Bit() + '\n');
#else
    if (logFile != nullptr) {
        writeLine(logFile, qFormatLogMessage(type, context, message).toUtf8() + '\n');
    }
    // Qt's own handler, so that the journal and QT_MESSAGE_PATTERN work as
    // for any Qt program.
    systemHandler(type, context, message);
#endif
}

#ifdef Q_OS_WIN
bool leadsSomewhere(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}
#endif

}  // namespace

void LogOutput::attachToParentConsole() {
#ifdef Q_OS_WIN
    // Output already redirected to a file or a pipe stays there.
    const bool outputNowhere = !leadsSomewhere(STD_OUTPUT_HANDLE);
    const bool errorNowhere = !leadsSomewhere(STD_ERROR_HANDLE);
    if ((outputNowhere || errorNowhere) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (outputNowhere) {
            std::freopen("CONOUT$", "w", stdout);
        }
        if (errorNowhere) {
            std::freopen("CONOUT$", "w", stderr);
        }
    }
#endif
}

bool LogOutput::appendTo(const std::string& path, std::string& reason) {
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) {
        reason = std::strerror(errno);
        return false;
    }
    if (logFile != nullptr) {
        std::fclose(logFile);
    }
    logFile = file;
    return true;
}

void LogOutput::install() { systemHandler = qInstallMessageHandler(handleMessage); }

}  // namespace freqrelay
