#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The value conversions every encoding step relies on. Text is a string of
// 8-bit characters: one byte of the file is one character (LeftPartAfterMark
// makes a file's start so).
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
// but in the forms Windows tools save text in:
// - after a byte-order mark, which editors such as Notepad put in front and
//   which is no text: after a UTF-8 mark the bytes are taken as they are;
//   after a UTF-16 or UTF-32 mark (little- or big-endian; UTF-32's marks,
//   FF FE 00 00 and 00 00 FE FF, are looked for first) the text is decoded
//   and its first `length` characters are given as UTF-8, a broken
//   surrogate pair or a code beyond Unicode as U+FFFD, and a last part of a
//   character left out;
// - a text without a mark is UTF-16 when every whole pair of bytes among its
//   first 16 is one NUL and one other byte, in the same order throughout
//   (as Notepad tells it): the other byte first is little-endian, the NUL
//   first big-endian. It is decoded as above;
// - any other text is 8-bit, as LeftPart takes it.
// In every form the full-width digits, full stop, plus and minus
// (U+FF10-U+FF19, U+FF0E, U+FF0B, U+FF0D, which East Asian input methods
// type) are given as their ASCII characters; in 8-bit text where they are
// written in UTF-8, each is one character. A NUL anywhere else is kept: it
// ends the number.
std::string LeftPartAfterMark(std::string_view text, std::size_t length);

// What to tell about a NUL in `start`, a text's start as LeftPartAfterMark
// gives it: "" when it holds none, else "holds a NUL byte at character N;
// the number ends there", N counting from 1 at the first NUL, a character of
// several bytes as one where the text before it is UTF-8.
std::string nulWarning(std::string_view start);

// One character whose 8-bit code is `code` (0 to 255).
std::string CodeChar(std::int32_t code);

}  // namespace freqrelay
