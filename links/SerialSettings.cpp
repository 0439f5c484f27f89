#include "links/SerialSettings.h"

#include "core/RelayFailure.h"

#include <charconv>
#include <string_view>
#include <vector>

namespace freqrelay {

namespace {

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t comma = text.find(','); comma != std::string_view::npos; comma = text.find(',', start)) {
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(text.substr(start));
    return fields;
}

bool wholeNumber(std::string_view field, std::int32_t& value) {
    const auto* end = field.data() + field.size();
    const auto result = std::from_chars(field.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && !field.empty();
}

}  // namespace

SerialSettings SerialSettings::parse(const std::string& text) {
    const auto malformed = [&text](const std::string& why) {
        return RelayFailure("invalid settings \"" + text + "\": " + why);
    };
    const auto fields = splitFields(text);
    if (fields.size() != 4) {
        throw malformed("expected speed,parity,data bits,stop bits");
    }

    SerialSettings settings;
    if (!wholeNumber(fields[0], settings.baudRate) || settings.baudRate <= 0) {
        throw malformed("bad speed");
    }

    if (fields[1].size() != 1) {
        throw malformed("bad parity");
    }
    switch (fields[1][0]) {
    case 'N':
    case 'n': settings.parity = Parity::None; break;
    case 'E':
    case 'e': settings.parity = Parity::Even; break;
    case 'O':
    case 'o': settings.parity = Parity::Odd; break;
    case 'M':
    case 'm': settings.parity = Parity::Mark; break;
    case 'S':
    case 's': settings.parity = Parity::Space; break;
    default: throw malformed("bad parity");
    }

    if (!wholeNumber(fields[2], settings.dataBits) || settings.dataBits < 5 || settings.dataBits > 8) {
        throw malformed("data bits must be 5 to 8");
    }

    if (fields[3] == "1") {
        settings.stopBits = StopBits::One;
    } else if (fields[3] == "1.5") {
        settings.stopBits = StopBits::OneAndHalf;
    } else if (fields[3] == "2") {
        settings.stopBits = StopBits::Two;
    } else {
        throw malformed("stop bits must be 1, 1.5 or 2");
    }
    return settings;
}

}  // namespace freqrelay
