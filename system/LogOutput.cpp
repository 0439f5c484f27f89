#include "system/LogOutput.h"

#include "core/Paths.h"
#include "system/Console.h"
#include "system/LogFile.h"
#include "system/LogText.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>

namespace freqrelay {

namespace {

QtMessageHandler systemHandler = nullptr;

// The --log file, or none. Its own failures (a full disk, a FIFO's reader
// gone) are told once when they start and once when writing works again.
struct LogFileOutput {
    std::unique_ptr<LogFile> file;
    std::string name;  // its absolute path, as its failures name it
    std::mutex mutex;
    bool failing = false;
    int lostLines = 0;
    std::string reason;
    std::chrono::steady_clock::time_point since;
};
// Made at the first log file and never destroyed: Qt may log while the
// program's static objects are, and from other threads.
std::atomic<LogFileOutput*> logFile = nullptr;

QMessageLogContext relayContext() { return QMessageLogContext(nullptr, 0, nullptr, relayLog().categoryName()); }

// A line of the log's own, on standard error only.
void tellOnStandardError(const QString& message) {
    Console::writeLog(QtWarningMsg, relayContext(), message, systemHandler);
}

// A log file spans weeks and is read beside other logs: each line carries
// its local time with milliseconds and the UTC offset (Qt's ISO form leaves
// that out for local time, and writes "Z" for 0).
std::string dated(const QString& line) {
    const QDateTime now = QDateTime::currentDateTime();
    const int offsetMinutes = now.offsetFromUtc() / 60;
    const int minutes = std::abs(offsetMinutes);
    const QString stamp =
        QLocale::c().toString(now, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) +
        (offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
        QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return (stamp + QLatin1Char(' ') + line + QLatin1Char('\n')).toUtf8().toStdString();
}

void appendToLogFile(LogFileOutput& log, const QString& line) {
    const std::lock_guard<std::mutex> lock(log.mutex);
    std::string reason;
    if (!log.file) {
        return;
    }
    if (log.failing) {
        const QString lost = log.lostLines == 1 ? QStringLiteral("1 line was lost")
                                                : QStringLiteral("%1 lines were lost").arg(log.lostLines);
        const QString worksAgain =
            QStringLiteral("writing the log %1 works again, after %2 s; %3; the last failure was: %4")
                .arg(readable(log.name))
                .arg(std::chrono::duration<double>(std::chrono::steady_clock::now() - log.since).count(), 0, 'f', 1)
                .arg(lost, readable(log.reason));
        if (!log.file->append(dated(qFormatLogMessage(QtWarningMsg, relayContext(), worksAgain)), reason)) {
            ++log.lostLines;
            log.reason = reason;
            return;
        }
        log.failing = false;
        tellOnStandardError(worksAgain);
    }
    if (!log.file->append(dated(line), reason)) {
        if (!log.failing) {
            log.failing = true;
            log.lostLines = 0;
            log.since = std::chrono::steady_clock::now();
            tellOnStandardError(QStringLiteral("writing the log %1 failed: %2; its lines are lost until it works again")
                                    .arg(readable(log.name), readable(reason)));
        }
        ++log.lostLines;
        log.reason = reason;
    }
}

// Qt's own messages (a display's scale, a missing font) would only puzzle
// the log file's reader; they still reach standard error.
bool isRelayLine(const QMessageLogContext& context) {
    return context.category != nullptr && qstrncmp(context.category, "freqrelay.", 10) == 0;
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (LogFileOutput* log = logFile.load(); log != nullptr && isRelayLine(context)) {
        appendToLogFile(*log, qFormatLogMessage(type, context, message));
    }
    Console::writeLog(type, context, message, systemHandler);
}

}  // namespace

bool LogOutput::appendTo(const std::string& path, const std::string& frequencyFile, const std::string& port1,
                         std::string& reason) {
    std::unique_ptr<LogFile> file;
    if (!path.empty()) {
        file = std::make_unique<LogFile>();
        if (!file->open(path, frequencyFile, port1, reason)) {
            return false;
        }
    }
    if (logFile.load() == nullptr) {
        logFile = new LogFileOutput;
    }
    LogFileOutput& log = *logFile.load();
    const std::lock_guard<std::mutex> lock(log.mutex);
    log.file = std::move(file);
    log.name = absolutePath(path);
    log.failing = false;
    return true;
}

void LogOutput::install() { systemHandler = qInstallMessageHandler(handleMessage); }

}  // namespace freqrelay
