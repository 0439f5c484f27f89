#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace freqrelay {

// The five bytes the radio is sent: four packed decimal pairs, lowest pair
// first, and the opcode. All zero until a frequency has been encoded.
using Command = std::array<std::uint8_t, 5>;

// What one text of the frequency file comes to.
struct Encoding {
    // The number read, as In shows it; none beyond a double, so that In
    // keeps what it showed.
    std::optional<std::string> in;
    // The seven digits (or fewer) the command carries, as Out shows them;
    // none when the number does not fit in 32 bits, so that Out and the last
    // command keep theirs and nothing is sent.
    std::optional<std::string> out;
    Command command{};
    // Why there is no Out, naming the number.
    std::string overflow;
};

// Only the file's first characters are interpreted.
inline constexpr std::size_t kInterpretedLength = 8;

// Turns the file's whole text into In, Out and the command bytes.
Encoding encode(std::string_view text);

// The frequency the command sets: c4 to c1 as seven packed decimal digits
// in tens of hertz (00 50 42 01 0A is 14250000 Hz).
std::int64_t frequencyHz(const Command& command);

// The command as the operator reads it: "00 50 42 01 0A".
std::string hexBytes(const Command& command);
std::string hexBytes(std::string_view bytes);

}  // namespace freqrelay
