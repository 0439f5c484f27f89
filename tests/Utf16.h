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

}  // namespace freqrelay
