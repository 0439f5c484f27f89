#include "Utf16.h"
#include "core/Conversions.h"
#include "core/RelayFailure.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace freqrelay;

namespace {

void expectOverflow(auto&& call) {
    try {
        call();
        FAIL() << "expected an overflow";
    } catch (const RelayFailure& failure) {
        EXPECT_TRUE(std::string(failure.what()).starts_with("overflow")) << failure.what();
    }
}

}  // namespace

TEST(NumericValue, ReadsDecimalNumbersAndStopsAtTheFirstForeignCharacter) {
    EXPECT_DOUBLE_EQ(NumericValue("14250000"), 14250000.0);
    EXPECT_DOUBLE_EQ(NumericValue("28500.5"), 28500.5);
    EXPECT_DOUBLE_EQ(NumericValue("-1234567"), -1234567.0);
    EXPECT_DOUBLE_EQ(NumericValue("+42"), 42.0);
    EXPECT_DOUBLE_EQ(NumericValue("7050000 kHz"), 7050000.0);
    EXPECT_DOUBLE_EQ(NumericValue("12\r34"), 12.0);
    EXPECT_DOUBLE_EQ(NumericValue("1.2.3"), 1.2);
}

TEST(NumericValue, SkipsBlanksTabsAndLineFeedsAnywhere) {
    EXPECT_DOUBLE_EQ(NumericValue("7050 12"), 705012.0);
    EXPECT_DOUBLE_EQ(NumericValue("\t\n 7\t0\n5"), 705.0);
    EXPECT_DOUBLE_EQ(NumericValue("- 5"), -5.0);
    EXPECT_DOUBLE_EQ(NumericValue("1 e 3"), 1000.0);
}

TEST(NumericValue, NoNumberAtTheStartGivesZeroAndIsToldFromAZero) {
    for (const std::string& text :
         {std::string(""), std::string("\r\n"), std::string("abc"), std::string("-"), std::string("."),
          std::string("\0"
                      "12",
                      3),
          std::string("&H"), std::string("&Hx1"), std::string("&O9"), std::string("&X1")}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(NumericValue(text), 0.0);
        EXPECT_FALSE(StartsWithNumber(text));
    }
    for (const char* text : {"0", " \t7", "-.5", "+0x", "&h0", "&o7"}) {
        EXPECT_TRUE(StartsWithNumber(text)) << text;
    }
}

TEST(NumericValue, ExponentWithEOrDAndALetterWithoutDigitsIsIgnored) {
    EXPECT_DOUBLE_EQ(NumericValue("1E3"), 1000.0);
    EXPECT_DOUBLE_EQ(NumericValue("1d3"), 1000.0);
    EXPECT_DOUBLE_EQ(NumericValue("25e-1"), 2.5);
    EXPECT_DOUBLE_EQ(NumericValue("5E"), 5.0);
    EXPECT_DOUBLE_EQ(NumericValue("5E+x"), 5.0);
    EXPECT_DOUBLE_EQ(NumericValue(".5"), 0.5);
    EXPECT_DOUBLE_EQ(NumericValue("-.25"), -0.25);
}

TEST(NumericValue, HexadecimalAndOctalLiterals) {
    EXPECT_EQ(NumericValue("&H1F"), 31.0);
    EXPECT_EQ(NumericValue("&h1f"), 31.0);
    EXPECT_EQ(NumericValue("&H99"), 153.0);
    EXPECT_EQ(NumericValue("&O17"), 15.0);
    EXPECT_EQ(NumericValue("&o8"), 0.0);
    EXPECT_EQ(NumericValue("&H"), 0.0);
    EXPECT_EQ(NumericValue("&H-1"), 0.0);
    EXPECT_EQ(NumericValue("&HFFFF"), -1.0);
    EXPECT_EQ(NumericValue("&H8000"), -32768.0);
    EXPECT_EQ(NumericValue("&HFFFFFF"), 16777215.0);
    EXPECT_EQ(NumericValue("&HFFFFFFFF"), -1.0);
    EXPECT_EQ(NumericValue("&X12"), 0.0);
}

// Puts a locale whose decimal point is a comma in force for LC_NUMERIC. A
// machine without it installed gets it built into a private folder.
static bool useCommaLocale() {
#ifdef _WIN32
    if (std::setlocale(LC_NUMERIC, "de-DE") == nullptr &&
        std::setlocale(LC_NUMERIC, "German_Germany.1252") == nullptr) {
        return false;
    }
#else
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        const auto folder = std::filesystem::temp_directory_path() / "freqrelay-locales";
        std::filesystem::create_directories(folder);
        const std::string build = "localedef -i de_DE -f UTF-8 '" + (folder / "de_DE.UTF-8").string() + "' 2>/dev/null";
        if (std::system(build.c_str()) != 0) {
            return false;
        }
        ::setenv("LOCPATH", folder.c_str(), 1);
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
            return false;
        }
    }
#endif
    return std::string(std::localeconv()->decimal_point) == ",";
}

TEST(NumericValue, OnlyTheFullStopIsADecimalPointWhateverTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    ASSERT_TRUE(useCommaLocale()) << "no locale with a decimal comma could be put in force "
                                     "(localedef and the de_DE locale source are needed)";
    EXPECT_DOUBLE_EQ(NumericValue("1,5"), 1.0);
    EXPECT_DOUBLE_EQ(NumericValue("1.5"), 1.5);
    EXPECT_EQ(DoubleText(1.5), "1.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumericValue, BeyondADoubleIsAnOverflowButTinyIsZero) {
    expectOverflow([] { NumericValue("1E999"); });
    expectOverflow([] { NumericValue("-9D400"); });
    EXPECT_EQ(NumericValue("1E-999"), 0.0);
    EXPECT_EQ(NumericValue("0E999"), 0.0);
}

TEST(RoundToLong, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundToLong(28500.5), 28500);
    EXPECT_EQ(RoundToLong(28501.5), 28502);
    EXPECT_EQ(RoundToLong(-2.5), -2);
    EXPECT_EQ(RoundToLong(2.4999), 2);
    EXPECT_EQ(RoundToLong(2147483647.4), 2147483647);
    EXPECT_EQ(RoundToLong(-2147483648.0), -2147483647 - 1);
}

TEST(RoundToLong, OutsideThirtyTwoBitsIsAnOverflow) {
    expectOverflow([] { RoundToLong(1e10); });
    expectOverflow([] { RoundToLong(2147483647.5); });
    expectOverflow([] { RoundToLong(-2147483649.0); });
}

TEST(DoubleText, WholeNumbersArePlainDigits) {
    EXPECT_EQ(DoubleText(14250000.0), "14250000");
    EXPECT_EQ(DoubleText(-7.0), "-7");
    EXPECT_EQ(DoubleText(-0.0), "0");
    EXPECT_EQ(DoubleText(10000000000.0), "10000000000");
}

TEST(DoubleText, OtherValuesHaveFifteenSignificantDigits) {
    EXPECT_EQ(DoubleText(28500.5), "28500.5");
    EXPECT_EQ(DoubleText(0.1 + 0.2), "0.3");
    EXPECT_EQ(DoubleText(1.5e-5), "1.5E-05");
    EXPECT_EQ(DoubleText(1e300), "1E+300");
    EXPECT_DOUBLE_EQ(NumericValue(DoubleText(1.5e-5)), 1.5e-5);
}

TEST(TextParts, MiddleAndLeftPartCutShortAndEmptyWithoutFailing) {
    EXPECT_EQ(Middle("14250000", 6, 2), "00");
    EXPECT_EQ(Middle("028500", 6, 2), "0");
    EXPECT_EQ(Middle("00", 6, 2), "");
    EXPECT_EQ(Middle("00", 2, 2), "0");
    EXPECT_EQ(LeftPart("14250000\r\n", 8), "14250000");
    EXPECT_EQ(LeftPart("12", 8), "12");
    EXPECT_EQ(LongText(-1234567), "-1234567");
}

TEST(TextParts, LeftPartAfterMarkDecodesEveryFormWindowsToolsSaveAndLeavesOther8BitTextAlone) {
    using namespace std::string_literals;
    const auto utf16 = [](std::u32string_view text, bool little, bool mark) {
        return unicodeFile(text, 2, little, mark);
    };
    const auto utf32 = [](std::u32string_view text, bool little) {
        return unicodeFile(text, 4, little);
    };
    const struct {
        std::string text;
        std::string left;
    } cases[] = {
        {"\xEF\xBB\xBF"s
         "7050000\r\n",
         "7050000\r"},
        {utf16le("7050000\r\n"), "7050000\r"},
        // A half unit at the end is a writer caught mid-character.
        {utf16be("14250000") + "9", "14250000"},
        // Letters beyond ASCII, a pair of surrogates, a broken pair and a
        // half unit at the end, as UTF-8.
        {"\xFF\xFE"s
         "A\x01"
         "\x3D\xD8\x00\xDE"
         "\x00\xD8"
         "7\0"
         "\x30"s,
         "\xC5\x81\xF0\x9F\x98\x80\xEF\xBF\xBD"
         "7"},
        // A low surrogate with no high one before it is broken too.
        {"\xFF\xFE"s
         "\x00\xDC"
         "7\0"s,
         "\xEF\xBF\xBD"
         "7"},
        {"\xFF\xFE"s, ""},
        // UTF-32, whose little-endian mark is UTF-16's and two NULs. A code
        // beyond Unicode or a surrogate is broken; three bytes of a unit at
        // the end are a writer caught mid-character.
        {utf32(U"14250000\r\n", true), "14250000"},
        {utf32(U"7050000\r\n", false), "7050000\r"},
        {utf32(std::u32string{0x110000, 0xD800, U'7'}, true) + "8\0\0"s,
         "\xEF\xBF\xBD\xEF\xBF\xBD"
         "7"},
        // UTF-16 without a mark, told by its first 16 bytes: every whole
        // pair one NUL and one other byte, in the same order.
        {utf16(U"14290000\r\n", true, false), "14290000"},
        {utf16(U"14290000\r\n", false, false), "14290000"},
        {utf16(U"7", true, false), "7"},
        {utf16(U"7", false, false), "7"},
        // Odd lengths: a writer caught after two characters and a half.
        {utf16(U"14250000", true, false).substr(0, 5), "14"},
        {utf16(U"14250000", false, false).substr(0, 5), "14"},
        // Alternation that fails in the eighth pair is 8-bit text; beyond the
        // sixteenth byte it is not looked at.
        {utf16(U"1425000", true, false) + "00",
         "1\0"
         "4\0"
         "2\0"
         "5\0"s},
        {utf16(U"1425000\r", true, false) + "ab", "1425000\r"},
        // NULs in 8-bit text that do not alternate so are kept; a NUL ends
        // the number.
        {"7050\0"
         "000\r\n"s,
         "7050\0"
         "000"s},
        {"7\0"
         "50000"s,
         "7\0"
         "50000"s},
        {"\0"s, "\0"s},
        // Only the last pair alternates, as a C string's end or a NUL in the
        // number leaves it: still 8-bit text.
        {"7050000\0"s, "7050000\0"s},
        {"705000\0"
         "0"s,
         "705000\0"
         "0"s},
        {"7", "7"},
        // Full-width digits, full stop, plus and minus are their ASCII
        // characters, in every form, one character each; other full-width
        // characters are left as they are.
        {utf16(U"\uFF11\uFF14\uFF12\uFF15\uFF10\uFF10\uFF10\uFF10\r\n", true, true), "14250000"},
        {utf32(U"\uFF0D\uFF17\uFF10\uFF15", false), "-705"},
        {"\xEF\xBC\x91\xEF\xBC\x94\xEF\xBC\x8E\xEF\xBC\x92\xEF\xBC\x95"
         "0\r\n",
         "14.250\r\n"},
        {"\xEF\xBB\xBF\xEF\xBC\x8B\xEF\xBC\x97"
         "050000",
         "+7050000"},
        {"\xEF\xBC\x97\xEF\xBC\xAD\xEF\xBC\xA8", "7\xEF\xBC\xAD\xEF\xBC\xA8"},
        // Without a mark, or with one that is not at the start: as LeftPart.
        {"7050000\r\n", "7050000\r"},
        {" \xEF\xBB\xBF"
         "7050000",
         " \xEF\xBB\xBF"
         "7050"},
        {"\xEF\xBB"
         "7050000",
         "\xEF\xBB"
         "705000"},
        {"\xFF"
         "7050000",
         "\xFF"
         "7050000"},
    };
    for (const auto& [text, left] : cases) {
        EXPECT_EQ(LeftPartAfterMark(text, 8), left) << testing::PrintToString(text);
    }
}

TEST(TextParts, NulWarningNamesTheFirstNulByItsCharacter) {
    using namespace std::string_literals;
    EXPECT_EQ(nulWarning("14250000"), "");
    EXPECT_EQ(nulWarning(""), "");
    EXPECT_EQ(nulWarning("1425\0"
                         "000"s),
              "holds a NUL byte at character 5; the number ends there");
    EXPECT_EQ(nulWarning("\0"
                         "7\0"s),
              "holds a NUL byte at character 1; the number ends there");
    // Counted as an editor shows the text: in UTF-8 one character for "Ł",
    // in other 8-bit text one for each byte.
    EXPECT_EQ(nulWarning("\xC5\x81"
                         "7\0"s),
              "holds a NUL byte at character 3; the number ends there");
    EXPECT_EQ(nulWarning("\xE9\x81"
                         "7\0"s),
              "holds a NUL byte at character 4; the number ends there");
    // A NUL character in UTF-16 text, once decoded.
    EXPECT_EQ(nulWarning(LeftPartAfterMark(utf16le("14\0"
                                                   "250000"s),
                                           8)),
              "holds a NUL byte at character 3; the number ends there");
}
