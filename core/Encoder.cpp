#include "core/Encoder.h"

#include "core/Conversions.h"
#include "core/RelayFailure.h"

namespace freqrelay {

namespace {

constexpr std::int32_t kSevenDigits = 1000000;  // below this one zero goes in front
constexpr std::uint8_t kOpcode = 0x0A;

// A group of digits read as a hexadecimal literal is its packed decimal
// byte: "42" is 0x42, "9" is 0x09, "" and "-1" are 0.
std::uint8_t packedByte(const std::string& group) {
    return static_cast<std::uint8_t>(RoundToLong(NumericValue("&H" + group)));
}

}  // namespace

Encoding encode(std::string_view text) {
    Encoding encoding;
    std::int32_t freqlon = 0;
    try {
        const double freqflo = NumericValue(LeftPartAfterMark(text, kInterpretedLength));
        // Written, read back and written again, so that In shows the number
        // as it reads back from its own text.
        encoding.in = DoubleText(NumericValue(DoubleText(freqflo)));
        freqlon = RoundToLong(freqflo);
    } catch (const RelayFailure& failure) {
        encoding.overflow = failure.what();
        return encoding;
    }
    const std::string freq = LongText(freqlon);
    const std::string freq1 = freqlon < kSevenDigits ? "0" + freq : freq;
    const std::string f1 = Middle(freq1, 6, 2);
    const std::string f2 = Middle(freq1, 4, 2);
    const std::string f3 = Middle(freq1, 2, 2);
    const std::string f4 = LeftPart(freq1, 1);
    encoding.out = f4 + f3 + f2 + f1;
    encoding.command = {packedByte(f1), packedByte(f2), packedByte(f3), packedByte(f4), kOpcode};
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
