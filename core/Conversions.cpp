#include "core/Conversions.h"

#include "core/CLocaleNumber.h"
#include "core/RelayFailure.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace freqrelay {

namespace {

// Walks a text the way the number reader sees it: blanks, tabs and line
// feeds are invisible wherever they stand. A carriage return is not.
class NumberCursor {
public:
    explicit NumberCursor(std::string_view text) : text_(text) { skipBlanks(); }

    // A NUL past the end: it can no more continue a number than one inside.
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

    void advance() {
        ++pos_;
        skipBlanks();
    }

private:
    void skipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n')) {
            ++pos_;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool inLongRange(double value) {
    return value >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
           value <= static_cast<double>(std::numeric_limits<std::int32_t>::max());
}

int digitValue(char c, int radix) {
    int value = -1;
    if (isDigit(c)) {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < radix ? value : -1;
}

// None without a leading "&"; else the radix the letter after it names (H
// 16, O 8, any other 0: no literal), the cursor past both.
std::optional<int> literalRadix(NumberCursor& cursor) {
    if (cursor.peek() != '&') {
        return std::nullopt;
    }
    cursor.advance();
    const char letter = cursor.peek();
    const int radix = letter == 'H' || letter == 'h' ? 16 : letter == 'O' || letter == 'o' ? 8 : 0;
    if (radix != 0) {
        cursor.advance();
    }
    return radix;
}

[[noreturn]] void throwOverflow(std::string_view text) {
    throw RelayFailure("overflow: the number in \"" + std::string(text) + "\" is out of range");
}

// "&H1F" or "&O17" after the ampersand and letter: up to 16 bits the value
// is a signed 16-bit integer ("&HFFFF" is -1), above that a signed 32-bit one.
double radixLiteral(NumberCursor& cursor, int radix, std::string_view text) {
    std::uint64_t value = 0;
    for (int digit = digitValue(cursor.peek(), radix); digit >= 0; digit = digitValue(cursor.peek(), radix)) {
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            throwOverflow(text);
        }
        cursor.advance();
    }
    if (value <= std::numeric_limits<std::uint16_t>::max()) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Whether a sign was a minus; the cursor past the sign, if any.
bool takeSign(NumberCursor& cursor) {
    const char sign = cursor.peek();
    if (sign == '+' || sign == '-') {
        cursor.advance();
    }
    return sign == '-';
}

std::string takeDigits(NumberCursor& cursor) {
    std::string digits;
    while (isDigit(cursor.peek())) {
        digits += cursor.peek();
        cursor.advance();
    }
    return digits;
}

double decimalNumber(NumberCursor& cursor, std::string_view text) {
    const bool negative = takeSign(cursor);
    const std::string whole = takeDigits(cursor);
    std::string fraction;
    if (cursor.peek() == '.') {
        cursor.advance();
        fraction = takeDigits(cursor);
    }
    if (whole.empty() && fraction.empty()) {
        return 0.0;
    }

    long long exponent = 0;
    const char letter = cursor.peek();
    if (letter == 'E' || letter == 'e' || letter == 'D' || letter == 'd') {
        // The letter belongs to the number even with no digits after it.
        cursor.advance();
        const bool negativeExponent = takeSign(cursor);
        constexpr long long kExponentCap = 1'000'000;  // far past any double
        for (const char digit : takeDigits(cursor)) {
            exponent = std::min(exponent * 10 + (digit - '0'), kExponentCap);
        }
        exponent = negativeExponent ? -exponent : exponent;
    }

    std::string normal = negative ? "-" : "";
    normal += whole.empty() ? "0" : whole;
    if (!fraction.empty()) {
        normal += '.' + fraction;
    }
    normal += 'e' + std::to_string(exponent);

    const double value = strtodInCLocale(normal);
    if (!std::isfinite(value)) {
        throwOverflow(text);
    }
    // No digit but zeros, or too tiny even for a subnormal: a signed zero.
    return value == 0.0 && negative ? -0.0 : value;
}

}  // namespace

double NumericValue(std::string_view text) {
    NumberCursor cursor(text);
    if (const auto radix = literalRadix(cursor)) {
        return *radix == 0 ? 0.0 : radixLiteral(cursor, *radix, text);
    }
    return decimalNumber(cursor, text);
}

bool StartsWithNumber(std::string_view text) {
    NumberCursor cursor(text);
    if (const auto radix = literalRadix(cursor)) {
        return *radix != 0 && digitValue(cursor.peek(), *radix) >= 0;
    }
    takeSign(cursor);
    if (cursor.peek() == '.') {
        cursor.advance();
    }
    return isDigit(cursor.peek());
}

std::int32_t RoundToLong(double value) {
    const double rounded = std::nearbyint(value);  // default mode: ties to even
    if (!inLongRange(rounded)) {
        throw RelayFailure("overflow: " + DoubleText(value) + " does not fit in a 32-bit whole number");
    }
    return static_cast<std::int32_t>(rounded);
}

std::string LongText(std::int32_t value) { return std::to_string(value); }

std::string DoubleText(double value) {
    if (std::trunc(value) == value && inLongRange(value)) {
        return LongText(static_cast<std::int32_t>(value));
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    std::replace(text.begin(), text.end(), 'e', 'E');
    return text;
}

std::string Middle(std::string_view text, std::size_t start, std::size_t length) {
    if (start < 1 || start > text.size()) {
        return {};
    }
    return std::string(text.substr(start - 1, length));
}

std::string LeftPart(std::string_view text, std::size_t length) { return std::string(text.substr(0, length)); }

namespace {

// The full-width digits, full stop, plus and minus as the ASCII characters
// they stand for; any other character as it is.
char32_t asciiForm(char32_t code) {
    if (code >= 0xFF10 && code <= 0xFF19) {
        return U'0' + (code - 0xFF10);
    }
    switch (code) {
    case 0xFF0B: return U'+';
    case 0xFF0D: return U'-';
    case 0xFF0E: return U'.';
    default: return code;
    }
}

void appendUtf8(std::string& text, char32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | code >> 6);
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | code >> 12);
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | code >> 18);
        text += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// How a file's text is written: its byte-order mark's length, and the bytes
// of one unit (1 for 8-bit text, 2 for UTF-16, 4 for UTF-32) and their order.
struct TextForm {
    std::size_t mark = 0;
    std::size_t unit = 1;
    bool little = false;
};

// UTF-32's little-endian mark starts as UTF-16's does: it comes first.
constexpr std::pair<std::string_view, TextForm> kMarks[] = {
    {std::string_view("\xFF\xFE\0\0", 4), {4, 4, true}},
    {std::string_view("\0\0\xFE\xFF", 4), {4, 4, false}},
    {"\xEF\xBB\xBF", {3, 1, false}},
    {"\xFF\xFE", {2, 2, true}},
    {"\xFE\xFF", {2, 2, false}},
};

// As many bytes as the eight characters the relay reads take in UTF-16.
constexpr std::size_t kAlternationBytes = 16;

TextForm formOf(std::string_view text) {
    for (const auto& [mark, form] : kMarks) {
        if (text.starts_with(mark)) {
            return form;
        }
    }
    // No mark: ASCII or Latin-1 in UTF-16 alternates NULs with other bytes.
    // A NUL that does not alternate so is a character of 8-bit text.
    const std::size_t pairs = std::min(text.size(), kAlternationBytes) / 2;
    bool little = pairs > 0;
    bool big = pairs > 0;
    for (std::size_t pair = 0; pair < pairs; ++pair) {
        const bool firstNul = text[2 * pair] == '\0';
        const bool secondNul = text[2 * pair + 1] == '\0';
        little = little && !firstNul && secondNul;
        big = big && firstNul && !secondNul;
    }
    return little || big ? TextForm{0, 2, little} : TextForm{};
}

bool isHighSurrogate(char32_t code) { return code >= 0xD800 && code <= 0xDBFF; }

bool isLowSurrogate(char32_t code) { return code >= 0xDC00 && code <= 0xDFFF; }

// The first `length` characters of UTF-16 or UTF-32 text, as UTF-8. A last
// part of a unit is a writer caught mid-character, and is left out.
std::string decodedLeft(std::string_view units, TextForm form, std::size_t length) {
    const auto unitAt = [&](std::size_t at) {
        char32_t code = 0;
        for (std::size_t byte = 0; byte < form.unit; ++byte) {
            const auto value = static_cast<unsigned char>(units[at + (form.little ? form.unit - 1 - byte : byte)]);
            code = code << 8 | value;
        }
        return code;
    };
    const std::size_t whole = units.size() - units.size() % form.unit;
    std::string decoded;
    std::size_t at = 0;
    for (std::size_t characters = 0; characters < length && at < whole; ++characters) {
        char32_t code = unitAt(at);
        at += form.unit;
        if (form.unit == 2 && isHighSurrogate(code) && at < whole && isLowSurrogate(unitAt(at))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unitAt(at) - 0xDC00);
            at += form.unit;
        } else if (isHighSurrogate(code) || isLowSurrogate(code) || code > 0x10FFFF) {
            code = 0xFFFD;
        }
        appendUtf8(decoded, asciiForm(code));
    }
    return decoded;
}

// The bytes of the UTF-8 character `lead` starts; 0 when none starts so.
std::size_t utf8Length(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    return lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
}

// The first `length` characters of 8-bit text, one byte each; but a
// full-width form in UTF-8 (three bytes) is one character, in ASCII.
std::string eightBitLeft(std::string_view text, std::size_t length) {
    std::string left;
    std::size_t at = 0;
    for (std::size_t characters = 0; characters < length && at < text.size(); ++characters) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data() + at);
        if (text.size() - at >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBC && bytes[2] >= 0x80 && bytes[2] <= 0xBF) {
            const char32_t code = 0xFF00 + (bytes[2] - 0x80);
            if (const char32_t ascii = asciiForm(code); ascii != code) {
                left += static_cast<char>(ascii);
                at += 3;
                continue;
            }
        }
        left += text[at];
        ++at;
    }
    return left;
}

}  // namespace

std::string LeftPartAfterMark(std::string_view text, std::size_t length) {
    const TextForm form = formOf(text);
    const std::string_view rest = text.substr(form.mark);
    return form.unit == 1 ? eightBitLeft(rest, length) : decodedLeft(rest, form, length);
}

std::string nulWarning(std::string_view start) {
    const std::size_t nul = start.find('\0');
    if (nul == std::string_view::npos) {
        return {};
    }
    // Counted as an editor shows the text.
    std::size_t characters = 0;
    for (std::size_t at = 0; at < nul; ++characters) {
        const std::size_t size = utf8Length(static_cast<unsigned char>(start[at]));
        bool whole = size > 0 && at + size <= nul;
        for (std::size_t next = 1; whole && next < size; ++next) {
            whole = (static_cast<unsigned char>(start[at + next]) & 0xC0) == 0x80;
        }
        if (!whole) {
            characters = nul;  // not UTF-8: one byte is one character
            break;
        }
        at += size;
    }
    return "holds a NUL byte at character " + std::to_string(characters + 1) + "; the number ends there";
}

}  // namespace freqrelay
