#include "RelayLog.h"

#include "Encoder.h"
#include "PollLoop.h"

#include <QTime>

Q_LOGGING_CATEGORY(relayLog, "freqrelay.relay", QtInfoMsg)

namespace freqrelay {

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

QString seconds(std::chrono::steady_clock::duration lasted) {
    return QString::number(std::chrono::duration<double>(lasted).count(), 'f', 1) + QStringLiteral(" s");
}

}  // namespace

RelayLog::RelayLog(std::function<std::string()> device) : device_(std::move(device)) {}

void RelayLog::started(const std::string& file, const std::string& device, const std::string& mappedBy) {
    qCInfo(relayLog).noquote() << QStringLiteral("freqrelay %1 polling %2; port 1 is %3 (%4)")
                                      .arg(QStringLiteral(FREQRELAY_VERSION), q(file), q(device), q(mappedBy));
}

void RelayLog::stepFailed(const StepFailure& failure) {
    const QString what = failure.retrying
                             ? QStringLiteral("%1 failed: %2; trying again every %3 ms")
                                   .arg(q(failure.step), q(failure.reason))
                                   .arg(kPollPause.count())
                             : QStringLiteral("%1 failed: %2; nothing is sent until the file changes")
                                   .arg(q(failure.step), q(failure.reason));
    qCWarning(relayLog).noquote() << what;
}

void RelayLog::failureCleared(const StepFailure& failure, std::chrono::steady_clock::duration lasted,
                              int tries) {
    qCWarning(relayLog).noquote() << QStringLiteral("%1 works again, after %2 and %3 tries")
                                         .arg(q(failure.step), seconds(lasted))
                                         .arg(tries);
}

void RelayLog::reSendFailed(const std::string& reason) {
    qCWarning(relayLog).noquote() << QStringLiteral("ReSend failed: %1").arg(q(reason));
}

void RelayLog::commandSent(const std::string& command, const std::string& digits) {
    qCInfo(relayLog).noquote() << QStringLiteral("%1 sent %2 (Out %3) to %4")
                                      .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")),
                                           q(hexBytes(command)), q(digits), q(device_()));
}

}  // namespace freqrelay
