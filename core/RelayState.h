#pragma once

#include "core/Variant.h"

#include <cstdint>
#include <string>

namespace freqrelay {

// The working values the relay keeps from one poll to the next and shares
// with ReSend. Declared in the order of the relay's design.
struct RelayState {
    Variant fr;                // command text last built, five characters
    Variant freq;              // working text: file text, its first eight characters, then digits
    Variant freqold;           // whole file text last acted on
    std::string freq1;         // digit string the command is cut from
    Variant b1;                // "&H" and f1
    Variant b2;                // "&H" and f2
    Variant b3;                // "&H" and f3
    Variant b4;                // "&H" and f4
    Variant f1;                // characters 6 and 7 of freq1
    Variant f2;                // characters 4 and 5 of freq1
    Variant f3;                // characters 2 and 3 of freq1
    std::string f4;            // character 1 of freq1
    Variant c1;                // command byte 1, a double
    Variant c2;                // command byte 2, a double
    Variant c3;                // command byte 3, a double
    Variant c4;                // command byte 4, a double
    Variant c5;                // command byte 5, the 16-bit integer 10
    double freqflo = 0.0;      // number parsed from the start of the file text
    std::int32_t freqlon = 0;  // freqflo as a whole number
    std::string h;             // hexadecimal prefix "&H"
};

}  // namespace freqrelay
