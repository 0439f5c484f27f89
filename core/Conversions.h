#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The value conversions every encoding step relies on. Text is 8-bit: one
// byte of the file is one character (LeftPartAfterMark makes it so).
namespace freqrelay {

// The number at the start of the text. Blanks, tabs and line feeds are
// skipped wherever they stand; "&H"/"&O" start hexadecimal/octal literals;
// otherwise sign, digits, full stop, digits and an E or D exponent. Reading
// stops at the first character that cannot continue the number; no number
// gives 0. A number beyond a double's range is an overflow failure.
double NumericValue(std::string_view text);

// Whether NumericValue finds a number, rather than giving 0 for want of one.
bool StartsWithNumber(std::string_view text);

// Nearest whole number, ties to even; overflow failure outside 32 bits.
std::int32_t RoundToLong(double value);

// Decimal digits with a leading minus for negatives, nothing else.
std::string LongText(std::int32_t value);

// Whole numbers in the 32-bit range as plain digits; anything else with up
// to 15 significant digits and a full stop, whatever the locale.
std::string DoubleText(double value);

// Up to `length` characters from the 1-based position `start`.
std::string Middle(std::string_view text, std::size_t start, std::size_t length);

// The first `length` characters, or the whole text when it is shorter.
std::string LeftPart(std::string_view text, std::size_t length);

// The first `length` characters of a file's text, as LeftPart takes them,
// but read as Windows tools save text:
// - a byte-order mark is no text: after a UTF-8 mark the bytes are taken as
//   they are; after a UTF-16 or UTF-32 mark the text is decoded to UTF-8, a
//   broken surrogate pair or a code beyond Unicode as U+FFFD, and a last
//   part of a character left out;
// - without a mark, text is UTF-16 when every whole pair of its first 16
//   bytes is one NUL and one other byte, in the same order throughout (as
//   Notepad tells it), and decoded as above;
// - any other text is 8-bit.
// The full-width digits, full stop, plus and minus that East Asian input
// methods type are given as ASCII, also in 8-bit text that writes them in
// UTF-8. A NUL anywhere else is kept: it ends the number.
std::string LeftPartAfterMark(std::string_view text, std::size_t length);

// "" when `start` (as LeftPartAfterMark gives it) holds no NUL, else "holds
// a NUL byte at character N; the number ends there", counting a character
// of several bytes as one where the text before the NUL is UTF-8.
std::string nulWarning(std::string_view start);

}  // namespace freqrelay
