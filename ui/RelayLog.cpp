#include "ui/RelayLog.h"

#include "core/Encoder.h"
#include "core/PollPacing.h"
#include "ui/Relay.h"

#include <QCoreApplication>
#include <QTime>

Q_LOGGING_CATEGORY(relayLog, "freqrelay.relay", QtInfoMsg)

namespace freqrelay {

namespace {

QString q(const std::string& text) { return readable(text); }

// The length of the valid UTF-8 sequence at `at`, or 0 when there is none.
std::size_t utf8SequenceAt(const std::string& bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(bytes[i]);
    };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and code points past Unicode are invalid.
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

QString seconds(std::chrono::steady_clock::duration lasted) {
    return QString::number(std::chrono::duration<double>(lasted).count(), 'f', 1) + QStringLiteral(" s");
}

}  // namespace

QString readable(const std::string& bytes) {
    QString text;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = utf8SequenceAt(bytes, at);
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (length == 0 || (length == 1 && (byte < 0x20 || byte == 0x7F))) {
            text += QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
            ++at;
        } else {
            text += QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(length));
            at += length;
        }
    }
    return text;
}

void RelayLog::started(const std::string& file, const std::string& target) {
    qCInfo(relayLog).noquote() << QStringLiteral("freqrelay %1 polling %2; %3")
                                      .arg(QCoreApplication::applicationVersion(), q(file), q(target));
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
    QObject::connect(&relay, &Relay::reSendFailed, [](const std::string& reason) {
        qCWarning(relayLog).noquote() << QStringLiteral("ReSend failed: %1").arg(q(reason));
    });
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
        &relay, &Relay::noNumber, [](const std::string& file, const std::string& start) {
            qCWarning(relayLog).noquote()
                << QStringLiteral("%1: \"%2\" has no number at its start; sending 0").arg(q(file), q(start));
        });
}

}  // namespace freqrelay
