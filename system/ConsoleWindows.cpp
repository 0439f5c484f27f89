#include "system/Console.h"

#include <QByteArray>

#include <io.h>
#include <windows.h>

namespace freqrelay {

namespace {

bool leadsSomewhere(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

}  // namespace

void Console::claimStandardStreams() {
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
}

void Console::write(std::FILE* stream, const QString& text) {
    std::fflush(stream);
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
        const std::wstring wide = text.toStdWString();
        DWORD written = 0;
        ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void Console::writeLog(QtMsgType type, const QMessageLogContext& context, const QString& message, QtMessageHandler) {
    write(stderr, qFormatLogMessage(type, context, message) + QLatin1Char('\n'));
}

}  // namespace freqrelay
