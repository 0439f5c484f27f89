#pragma once

#include <algorithm>
#include <chrono>
#include <optional>

namespace freqrelay {

// The pause between two polls of the frequency file.
inline constexpr std::chrono::milliseconds kPollPause{250};

// The pause may end early, as soon as the frequency file has been written,
// but the poll used to give the radio at least kPollPause between commands
// and some radios need that: an early wake at `wokeAt` starts the next poll
// no sooner than kPollPause after the last command left the port.
inline std::chrono::steady_clock::time_point pacedWake(
    std::chrono::steady_clock::time_point wokeAt, std::optional<std::chrono::steady_clock::time_point> lastCommandEnd) {
    return lastCommandEnd ? std::max(wokeAt, *lastCommandEnd + kPollPause) : wokeAt;
}

}  // namespace freqrelay
