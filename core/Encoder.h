#pragma once

#include "core/Display.h"
#include "core/RelayState.h"

#include <string>

namespace freqrelay {

// The encoding's assignments, in their order: each is one step, so that a
// failed one can be repeated on its own.
enum class EncodeStep {
    CutToInterpretedLength,  // freq := its first eight characters, after a byte-order mark
    ReadNumber,              // freqflo := the number at its start
    ShowIn,
    RoundToWhole,      // freqlon; fails on a number beyond 32 bits
    WholeAsDigits,     // freq := freqlon's digits
    PadToSevenDigits,  // freq1 := one "0" in front of a number below 1000000
    TakeDigits67,
    TakeDigits45,
    TakeDigits23,
    TakeDigit1,
    ShowOut,
    MakeLiteral1,
    MakeLiteral2,
    MakeLiteral3,
    MakeLiteral4,
    ReadByte1,
    ReadByte2,
    ReadByte3,
    ReadByte4,
    SetOpcode,
};

// Turning the file's text into the In text, the Out text and the five
// command byte values. The encoding is a fixed list of single assignments so
// that the poll loop can repeat exactly the one that failed.
class Encoder {
public:
    static constexpr int kStepCount = static_cast<int>(EncodeStep::SetOpcode) + 1;
    // Only the file's first characters are interpreted.
    static constexpr std::size_t kInterpretedLength = 8;

    // Runs one step. Reads freq (the file's whole text) and h; only the
    // rounding step can fail, on a number that does not fit in 32 bits (and
    // the parse, on one beyond a double).
    static void runStep(EncodeStep step, RelayState& state, Display& display);

    // The Out text: the digits the command carries, from f1 to f4.
    static std::string outText(const RelayState& state);

    // fr := the five command characters from c1 to c5; empty fields count as 0.
    static const std::string& buildCommand(RelayState& state);
};

// The command as the operator reads it: "00 50 42 01 0A".
std::string hexBytes(const std::string& bytes);

}  // namespace freqrelay
