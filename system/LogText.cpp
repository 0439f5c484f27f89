#include "system/LogText.h"

Q_LOGGING_CATEGORY(relayLog, "freqrelay.relay", QtInfoMsg)

namespace freqrelay {

namespace {

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
