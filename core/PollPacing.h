#pragma once

#include <algorithm>
#include <chrono>
#include <optional>

namespace freqrelay {

// The pause between two polls of the frequency file.
inline constexpr std::chrono::milliseconds kPollPause{250};

// The pause may end early, once the file has been written, but some radios
// need kPollPause between commands: an early wake at `wokeAt` starts the next
// poll no sooner than kPollPause after the last command left the port.
inline std::chrono::steady_clock::time_point pacedWake(
    std::chrono::steady_clock::time_point wokeAt, std::optional<std::chrono::steady_clock::time_point> lastCommandEnd) {
    return lastCommandEnd ? std::max(wokeAt, *lastCommandEnd + kPollPause) : wokeAt;
}

}  // namespace freqrelay
