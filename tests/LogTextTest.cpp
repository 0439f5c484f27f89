#include "system/LogText.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

// A name or a text that is no valid UTF-8 must be logged byte for byte, and
// never as a look-alike of another name.
TEST(LogText, ValidUtf8IsKeptAndEveryOtherByteAndEveryControlIsEscaped) {
    const struct {
        std::string bytes;
        const char* logged;
    } cases[] = {
        {"ft1000file", "ft1000file"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"\xF0\x9F\x93\xBB", "\xF0\x9F\x93\xBB"},
        {"a\xFF"
         "b",
         R"(a\xFFb)"},
        {"\x80", R"(\x80)"},
        {"\xC0\x80", R"(\xC0\x80)"},
        {"\xED\xA0\x80", R"(\xED\xA0\x80)"},
        {"\xF4\x90\x80\x80", R"(\xF4\x90\x80\x80)"},
        {"\xF8\x88\x80\x80\x80", R"(\xF8\x88\x80\x80\x80)"},
        {"x\xE6\x97", R"(x\xE6\x97)"},
        {"a\tb\nc\x7F"
         "d",
         R"(a\x09b\x0Ac\x7Fd)"},
        {"nul\0here"s, R"(nul\x00here)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(freqrelay::readable(c.bytes).toStdString(), c.logged) << c.logged;
    }
}
