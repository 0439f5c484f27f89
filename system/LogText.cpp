#include "system/LogText.h"

#include <QByteArrayView>

#include <bit>

Q_LOGGING_CATEGORY(relayLog, "freqrelay.relay", QtInfoMsg)

namespace freqrelay {

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0 when there is none.
std::size_t utf8SequenceAt(const std::string& bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    const std::size_t length = lead < 0x80 ? 1 : static_cast<std::size_t>(std::countl_one(lead));
    if (length > 4 || at + length > bytes.size() ||
        !QByteArrayView(bytes.data() + at, static_cast<qsizetype>(length)).isValidUtf8()) {
        return 0;
    }
    return length;
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

}  // namespace freqrelay
