#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace freqrelay {

// Where a rig control server listens. The default is this machine only:
// the server has no authentication.
struct RigctldAddress {
    std::string host = "127.0.0.1";
    std::uint16_t port = 4532;

    // "127.0.0.1:4532", "[::1]:4532".
    std::string text() const;
    // "[HOST][:PORT]", an IPv6 literal in brackets; either part may be left
    // out for its default. None, with `why`, when it cannot be read.
    static std::optional<RigctldAddress> parse(std::string_view text, std::string& why);
};

}  // namespace freqrelay
