#pragma once

#include "Display.h"
#include "RelayState.h"

#include <string>

namespace freqrelay {

// Turning the file's text into the In text, the Out text and the five
// command byte values. The encoding is a fixed list of single assignments so
// that the poll loop can repeat exactly the one that failed.
class Encoder {
public:
    static constexpr int kStepCount = 20;
    // Only the file's first characters are interpreted.
    static constexpr std::size_t kInterpretedLength = 8;

    // Runs step `index` (0 to kStepCount - 1). Reads freq (the file's whole
    // text) and h; only the rounding step can fail, on a number that does
    // not fit in 32 bits (and the parse, on one beyond a double).
    static void runStep(int index, RelayState& state, Display& display);

    // All steps in order.
    static void encode(RelayState& state, Display& display);

    // The Out text: the digits the command carries, from f1 to f4.
    static std::string outText(const RelayState& state);

    // fr := the five command characters from c1 to c5; empty fields count as 0.
    static const std::string& buildCommand(RelayState& state);
};

// The command as the operator reads it: "00 50 42 01 0A".
std::string hexBytes(const std::string& bytes);

}  // namespace freqrelay
