#include "links/RigctldAddress.h"

#include <algorithm>
#include <charconv>

namespace freqrelay {

std::string RigctldAddress::text() const {
    const bool bracketed = host.find(':') != std::string::npos;
    return (bracketed ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<RigctldAddress> RigctldAddress::parse(std::string_view text, std::string& why) {
    // Blanks around it, as a pasted address has them, are no part of it.
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    text.remove_suffix(text.size() - (text.find_last_not_of(" \t") + 1));
    RigctldAddress address;
    std::string_view host = text;
    std::string_view port;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            why = "an IPv6 address needs its closing bracket";
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) {
            why = "expected :PORT after the bracketed address";
            return std::nullopt;
        }
        port = rest.empty() ? rest : rest.substr(1);
        if (host.empty()) {
            why = "the brackets hold no address";
            return std::nullopt;
        }
    } else if (const auto colon = text.find(':'); colon != std::string_view::npos) {
        if (text.find(':', colon + 1) != std::string_view::npos) {
            why = "an IPv6 address goes in brackets: [::1]:4532";
            return std::nullopt;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) {
            why = "the port after the colon is missing";
            return std::nullopt;
        }
    }
    if (!host.empty()) {
        address.host = host;
    }
    if (!port.empty()) {
        unsigned value = 0;
        const auto end = port.data() + port.size();
        const auto result = std::from_chars(port.data(), end, value);
        if (result.ec != std::errc() || result.ptr != end || value < 1 || value > 65535) {
            why = "the port must be a number from 1 to 65535";
            return std::nullopt;
        }
        address.port = static_cast<std::uint16_t>(value);
    }
    return address;
}

}  // namespace freqrelay
