#include "serial/SerialSettings.h"

#include "core/RelayFailure.h"

#include <algorithm>
#include <charconv>
#include <iterator>
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

    // Parity's letters in the order of its values, in either case.
    constexpr std::string_view kParityLetters = "NEOMSneoms";
    const std::size_t parity = fields[1].size() == 1 ? kParityLetters.find(fields[1][0]) : std::string_view::npos;
    if (parity == std::string_view::npos) {
        throw malformed("bad parity");
    }
    settings.parity = static_cast<Parity>(parity % (kParityLetters.size() / 2));

    if (!wholeNumber(fields[2], settings.dataBits) || settings.dataBits < 5 || settings.dataBits > 8) {
        throw malformed("data bits must be 5 to 8");
    }

    constexpr std::string_view kStopBits[] = {"1", "1.5", "2"};  // in the order of StopBits
    const auto stopBits = std::find(std::begin(kStopBits), std::end(kStopBits), fields[3]);
    if (stopBits == std::end(kStopBits)) {
        throw malformed("stop bits must be 1, 1.5 or 2");
    }
    settings.stopBits = static_cast<StopBits>(stopBits - std::begin(kStopBits));
    return settings;
}

}  // namespace freqrelay
