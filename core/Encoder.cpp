#include "core/Encoder.h"

#include "core/Conversions.h"
#include "core/RelayFailure.h"

namespace freqrelay {

namespace {

constexpr double kSevenDigits = 1000000.0;  // below this one zero goes in front
constexpr std::uint8_t kOpcode = 0x0A;

// A byte value as the command carries it; every value encode makes lies
// from 0 to 0x99.
std::uint8_t byteOf(double value) { return static_cast<std::uint8_t>(RoundToLong(value)); }

}  // namespace

Encoding encode(std::string_view text) {
    Encoding encoding;
    const std::string h = "&H";
    std::string freq = LeftPartAfterMark(text, kInterpretedLength);
    double freqflo = 0.0;
    std::int32_t freqlon = 0;
    try {
        freqflo = NumericValue(freq);
        // Written, read back and written again, so that In shows the number
        // as it reads back from its own text.
        encoding.in = DoubleText(NumericValue(DoubleText(freqflo)));
        freqlon = RoundToLong(freqflo);
    } catch (const RelayFailure& failure) {
        encoding.overflow = failure.what();
        return encoding;
    }
    freq = LongText(freqlon);
    const std::string freq1 = NumericValue(freq) < kSevenDigits ? "0" + freq : freq;
    const std::string f1 = Middle(freq1, 6, 2);
    const std::string f2 = Middle(freq1, 4, 2);
    const std::string f3 = Middle(freq1, 2, 2);
    const std::string f4 = LeftPart(freq1, 1);
    encoding.out = f4 + f3 + f2 + f1;
    // Each group read as a hexadecimal literal is its packed decimal byte:
    // "42" is 0x42, "9" is 0x09, "" and "-1" are 0.
    const std::string b1 = h + f1;
    const std::string b2 = h + f2;
    const std::string b3 = h + f3;
    const std::string b4 = h + f4;
    const double c1 = NumericValue(b1);
    const double c2 = NumericValue(b2);
    const double c3 = NumericValue(b3);
    const double c4 = NumericValue(b4);
    const std::uint8_t c5 = kOpcode;
    encoding.command = {byteOf(c1), byteOf(c2), byteOf(c3), byteOf(c4), c5};
    return encoding;
}

std::int64_t frequencyHz(const Command& command) {
    std::int64_t digits = 0;
    for (const int at : {3, 2, 1, 0}) {
        digits = digits * 100 + (command[at] >> 4) * 10 + (command[at] & 0x0F);
    }
    return digits * 10;
}

std::string hexBytes(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::string hexBytes(const Command& command) {
    return hexBytes(std::string_view(reinterpret_cast<const char*>(command.data()), command.size()));
}

}  // namespace freqrelay
