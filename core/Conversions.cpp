#include "core/Conversions.h"

#include "core/RelayFailure.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

#if defined(__APPLE__)
#include <xlocale.h>
#endif

namespace freqrelay {

namespace {

// Walks a text the way the number reader sees it: blanks, tabs and line
// feeds are invisible wherever they stand. A carriage return is not.
class NumberCursor {
public:
    explicit NumberCursor(std::string_view text) : text_(text) { skipBlanks(); }

    // The character under the cursor; a NUL past the end, which can no more
    // continue a number than a NUL inside the text can.
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

// Reads a number in the C form ("-123.45e6") whatever the process locale
// says: Qt sets the locale from the environment, and a reader that followed
// it would take a German comma for the decimal point. (std::from_chars for
// double would do, but libc++ lacks it before LLVM 20.) `outOfRange` is set
// when the value overflows, or underflows to zero.
double readCForm(const std::string& text, bool& outOfRange) {
    errno = 0;
#if defined(_WIN32)
    static const _locale_t cLocale = _create_locale(LC_NUMERIC, "C");
    const double value = _strtod_l(text.c_str(), nullptr, cLocale);
#else
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    const double value = strtod_l(text.c_str(), nullptr, cLocale);
#endif
    // A tiny number that still has a subnormal value is no failure.
    outOfRange = errno == ERANGE && (std::isinf(value) || value == 0.0);
    return value;
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

// The radix the letter after "&" names: H for hexadecimal, O for octal; 0
// for any other letter, which starts no literal.
int literalRadix(char letter) {
    if (letter == 'H' || letter == 'h') {
        return 16;
    }
    return letter == 'O' || letter == 'o' ? 8 : 0;
}

[[noreturn]] void throwOverflow(std::string_view text) {
    throw RelayFailure(FailureKind::Overflow, "overflow: the number in \"" + std::string(text) + "\" is out of range");
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

std::string takeDigits(NumberCursor& cursor) {
    std::string digits;
    while (isDigit(cursor.peek())) {
        digits += cursor.peek();
        cursor.advance();
    }
    return digits;
}

// Decimal exponent of the leading significant digit, used to tell an
// overflow from an underflow when the parse is out of range.
long long leadingMagnitude(const std::string& whole, const std::string& fraction, long long exponent) {
    const auto firstWhole = whole.find_first_not_of('0');
    if (firstWhole != std::string::npos) {
        return static_cast<long long>(whole.size() - firstWhole) - 1 + exponent;
    }
    const auto firstFraction = fraction.find_first_not_of('0');
    return -static_cast<long long>(firstFraction) - 1 + exponent;
}

double decimalNumber(NumberCursor& cursor, std::string_view text) {
    bool negative = false;
    if (cursor.peek() == '+' || cursor.peek() == '-') {
        negative = cursor.peek() == '-';
        cursor.advance();
    }
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
        bool negativeExponent = false;
        if (cursor.peek() == '+' || cursor.peek() == '-') {
            negativeExponent = cursor.peek() == '-';
            cursor.advance();
        }
        constexpr long long kExponentCap = 1'000'000;  // far past any double
        for (const char digit : takeDigits(cursor)) {
            exponent = std::min(exponent * 10 + (digit - '0'), kExponentCap);
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }

    if (whole.find_first_not_of('0') == std::string::npos && fraction.find_first_not_of('0') == std::string::npos) {
        return negative ? -0.0 : 0.0;
    }

    std::string normal = negative ? "-" : "";
    normal += whole.empty() ? "0" : whole;
    if (!fraction.empty()) {
        normal += '.' + fraction;
    }
    normal += 'e' + std::to_string(exponent);

    bool outOfRange = false;
    const double value = readCForm(normal, outOfRange);
    if (outOfRange) {
        if (leadingMagnitude(whole, fraction, exponent) >= 0) {
            throwOverflow(text);
        }
        return negative ? -0.0 : 0.0;
    }
    if (!std::isfinite(value)) {
        throwOverflow(text);
    }
    return value;
}

}  // namespace

double NumericValue(std::string_view text) {
    NumberCursor cursor(text);
    if (cursor.peek() == '&') {
        cursor.advance();
        const int radix = literalRadix(cursor.peek());
        if (radix == 0) {
            return 0.0;
        }
        cursor.advance();
        return radixLiteral(cursor, radix, text);
    }
    return decimalNumber(cursor, text);
}

bool StartsWithNumber(std::string_view text) {
    NumberCursor cursor(text);
    if (cursor.peek() == '&') {
        cursor.advance();
        const int radix = literalRadix(cursor.peek());
        if (radix == 0) {
            return false;
        }
        cursor.advance();
        return digitValue(cursor.peek(), radix) >= 0;
    }
    if (cursor.peek() == '+' || cursor.peek() == '-') {
        cursor.advance();
    }
    if (cursor.peek() == '.') {
        cursor.advance();
    }
    return isDigit(cursor.peek());
}

std::int32_t RoundToLong(double value) {
    const double rounded = std::nearbyint(value);  // default mode: ties to even
    if (!(rounded >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
        throw RelayFailure(FailureKind::Overflow,
                           "overflow: " + DoubleText(value) + " does not fit in a 32-bit whole number");
    }
    return static_cast<std::int32_t>(rounded);
}

std::string LongText(std::int32_t value) { return std::to_string(value); }

std::string DoubleText(double value) {
    if (std::trunc(value) == value && value >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
        value <= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return LongText(static_cast<std::int32_t>(value));
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    for (char& c : text) {
        if (c == 'e') {
            c = 'E';
        }
    }
    return text;
}

std::string Middle(std::string_view text, std::size_t start, std::size_t length) {
    if (start < 1 || start > text.size()) {
        return {};
    }
    return std::string(text.substr(start - 1, length));
}

std::string LeftPart(std::string_view text, std::size_t length) { return std::string(text.substr(0, length)); }

std::string LeftPartAfterMark(std::string_view text, std::size_t length) {
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    constexpr std::string_view kUtf16LittleMark = "\xFF\xFE";
    constexpr std::string_view kUtf16BigMark = "\xFE\xFF";
    if (text.starts_with(kUtf8Mark)) {
        return LeftPart(text.substr(kUtf8Mark.size()), length);
    }
    const bool little = text.starts_with(kUtf16LittleMark);
    if (!little && !text.starts_with(kUtf16BigMark)) {
        return LeftPart(text, length);
    }
    // A last odd byte is half a unit still being written: it is left out.
    const std::string_view units = text.substr(2);
    const auto unitAt = [&](std::size_t at) -> char32_t {
        const auto first = static_cast<unsigned char>(units[at]);
        const auto second = static_cast<unsigned char>(units[at + 1]);
        return little ? char32_t(first | second << 8) : char32_t(first << 8 | second);
    };
    const auto isHigh = [](char32_t unit) {
        return unit >= 0xD800 && unit <= 0xDBFF;
    };
    const auto isLow = [](char32_t unit) {
        return unit >= 0xDC00 && unit <= 0xDFFF;
    };
    std::string decoded;
    std::size_t at = 0;
    for (std::size_t characters = 0; characters < length && at + 1 < units.size(); ++characters) {
        char32_t code = unitAt(at);
        at += 2;
        if (isHigh(code) && at + 1 < units.size() && isLow(unitAt(at))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unitAt(at) - 0xDC00);
            at += 2;
        } else if (isHigh(code) || isLow(code)) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            decoded += static_cast<char>(code);
        } else if (code < 0x800) {
            decoded += static_cast<char>(0xC0 | code >> 6);
            decoded += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            decoded += static_cast<char>(0xE0 | code >> 12);
            decoded += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            decoded += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            decoded += static_cast<char>(0xF0 | code >> 18);
            decoded += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            decoded += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            decoded += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return decoded;
}

std::string CodeChar(std::int32_t code) {
    if (code < 0 || code > 255) {
        throw RelayFailure(FailureKind::Overflow, "character code " + LongText(code) + " is outside 0 to 255");
    }
    return std::string(1, static_cast<char>(static_cast<unsigned char>(code)));
}

}  // namespace freqrelay
