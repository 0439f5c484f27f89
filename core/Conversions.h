#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The value conversions every encoding step relies on. Text is a string of
// 8-bit characters: one byte of the file is one character.
namespace freqrelay {

// The number at the start of the text. Blanks, tabs and line feeds are
// skipped wherever they stand; "&H"/"&O" start hexadecimal/octal literals;
// otherwise sign, digits, full stop, digits and an E or D exponent. Reading
// stops at the first character that cannot continue the number; no number
// gives 0. A number beyond the range of a double is an overflow failure.
double NumericValue(std::string_view text);

// Whether NumericValue finds a number at the start of the text, rather than
// giving 0 for want of one.
bool StartsWithNumber(std::string_view text);

// Nearest whole number, ties to the even neighbour; overflow failure outside
// the signed 32-bit range.
std::int32_t RoundToLong(double value);

// Decimal digits with a leading minus for negatives, nothing else.
std::string LongText(std::int32_t value);

// Whole numbers in the 32-bit range as plain digits; anything else with up
// to 15 significant digits, full stop as decimal point, whatever the locale.
std::string DoubleText(double value);

// Up to `length` characters from the 1-based position `start`.
std::string Middle(std::string_view text, std::size_t start, std::size_t length);

// The first `length` characters, or the whole text when it is shorter.
std::string LeftPart(std::string_view text, std::size_t length);

// The first `length` characters of a file's text, as LeftPart takes them,
// but after a byte-order mark, which editors such as Notepad put in front
// and which is no text. After a UTF-8 mark the bytes are taken as they are;
// after a UTF-16 mark (little- or big-endian) the text is decoded and its
// first `length` characters are given as UTF-8, a broken pair as U+FFFD.
// A text without a mark is LeftPart's.
std::string LeftPartAfterMark(std::string_view text, std::size_t length);

// One character whose 8-bit code is `code` (0 to 255).
std::string CodeChar(std::int32_t code);

}  // namespace freqrelay
