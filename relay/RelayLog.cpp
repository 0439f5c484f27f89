#include "relay/RelayLog.h"

#include "core/Encoder.h"
#include "core/PollPacing.h"
#include "relay/Relay.h"

#include <QCoreApplication>
#include <QTime>

namespace freqrelay {

namespace {

QString q(const std::string& text) { return readable(text); }

QString seconds(std::chrono::steady_clock::duration lasted) {
    return QString::number(std::chrono::duration<double>(lasted).count(), 'f', 1) + QStringLiteral(" s");
}

}  // namespace

void RelayLog::started(const std::string& file, const std::string& target, bool again) {
    const QString who =
        again ? QStringLiteral("set up anew:") : QStringLiteral("freqrelay ") + QCoreApplication::applicationVersion();
    qCInfo(relayLog).noquote() << QStringLiteral("%1 polling %2; %3").arg(who, q(file), q(target));
}

void RelayLog::follow(const Relay& relay) {
    QObject::connect(&relay, &Relay::failed, [](const StepFailure& failure) {
        QString what = QStringLiteral("%1 failed: %2").arg(q(failure.step), q(failure.reason));
        if (failure.quitting) {
            // Nothing is tried again: the relay is ending.
        } else if (failure.retrying) {
            what += QStringLiteral("; trying again every %1 ms").arg(kPollPause.count());
        } else {
            what += QStringLiteral("; nothing is sent until the file changes");
        }
        qCWarning(relayLog).noquote() << what;
    });
    QObject::connect(&relay, &Relay::cleared, [](const Episodes::Ended& episode) {
        qCWarning(relayLog).noquote() << QStringLiteral(
                                             "%1 works again, after %2 and %3 tries; the last failure was: %4")
                                             .arg(q(episode.failure.step), seconds(episode.lasted))
                                             .arg(episode.tries)
                                             .arg(q(episode.failure.reason));
    });
    QObject::connect(&relay, &Relay::abandoned, [](const Episodes::Ended& episode, const std::string& change) {
        qCWarning(relayLog).noquote() << QStringLiteral(
                                             "%1 is tried no more, %2, after %3 and %4 failed tries; the last failure "
                                             "was: %5")
                                             .arg(q(episode.failure.step), q(change), seconds(episode.lasted))
                                             .arg(episode.tries)
                                             .arg(q(episode.failure.reason));
    });
    QObject::connect(&relay, &Relay::reSendFailed, [](const std::string& reason) {
        qCWarning(relayLog).noquote() << QStringLiteral("ReSend failed: %1").arg(q(reason));
    });
    QObject::connect(&relay, &Relay::noted, [](const std::string& what) { qCWarning(relayLog).noquote() << q(what); });
    QObject::connect(&relay, &Relay::sent, [](const Command& command, const std::string& out, const std::string& to) {
        qCInfo(relayLog).noquote() << QStringLiteral("%1 sent %2 (Out %3) to %4")
                                          .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")),
                                               q(hexBytes(command)), q(out), q(to));
    });
    QObject::connect(&relay, &Relay::dropped, [](const std::string& out, const std::string& start) {
        // A line end within the start is no part of the frequency.
        const std::string text = start.substr(0, start.find_last_not_of(" \t\r\n") + 1);
        qCInfo(relayLog).noquote()
            << QStringLiteral("dropped the command for %1: the file now holds %2").arg(q(out), q(text));
    });
    QObject::connect(
        &relay, &Relay::textWarning, [](const std::string& file, const std::string& start, const std::string& why) {
            qCWarning(relayLog).noquote() << QStringLiteral("%1: \"%2\" %3").arg(q(file), q(start), q(why));
        });
}

}  // namespace freqrelay
