#pragma once

#include <cstdint>
#include <string>

namespace freqrelay {

// Line settings in the control's text form, "4800,N,8,2".
struct SerialSettings {
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    std::int32_t baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    // A malformed text is a settings failure that quotes it.
    static SerialSettings parse(const std::string& text);

    friend bool operator==(const SerialSettings&, const SerialSettings&) = default;
};

}  // namespace freqrelay
