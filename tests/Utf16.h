#pragma once

#include <string>
#include <string_view>

namespace freqrelay {

// ASCII text as a file saved as UTF-16 holds it: the byte-order mark, then
// each character in two bytes, in the order the mark says.
inline std::string utf16le(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

inline std::string utf16be(std::string_view ascii) {
    std::string bytes = "\xFE\xFF";
    for (const char c : ascii) {
        bytes += '\0';
        bytes += c;
    }
    return bytes;
}

// Text as a file saved as UTF-16 (`unit` 2) or UTF-32 (`unit` 4) holds it,
// little- or big-endian, with the byte-order mark or without.
inline std::string unicodeFile(std::u32string_view text, std::size_t unit, bool little, bool mark = true) {
    std::u32string codes = mark ? U"\uFEFF" : U"";
    for (const char32_t code : text) {
        if (unit == 2 && code > 0xFFFF) {
            codes += 0xD800 + ((code - 0x10000) >> 10);
            codes += 0xDC00 + ((code - 0x10000) & 0x3FF);
        } else {
            codes += code;
        }
    }
    std::string bytes;
    for (const char32_t code : codes) {
        for (std::size_t byte = 0; byte < unit; ++byte) {
            const std::size_t shift = 8 * (little ? byte : unit - 1 - byte);
            bytes += static_cast<char>(code >> shift & 0xFF);
        }
    }
    return bytes;
}

}  // namespace freqrelay
