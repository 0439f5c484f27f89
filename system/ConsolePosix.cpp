#include "system/Console.h"

#include <QByteArray>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace freqrelay {

void Console::claimStandardStreams() {
    for (const int standard : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(standard, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free number, the one just found closed, unless a
            // lower one could not be filled either.
            const int opened = ::open("/dev/null", O_RDWR);
            if (opened != standard && opened != -1) {
                ::close(opened);
            }
        }
    }
}

void Console::write(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void Console::writeLog(QtMsgType type, const QMessageLogContext& context, const QString& message,
                       QtMessageHandler qtHandler) {
    qtHandler(type, context, message);
}

}  // namespace freqrelay
