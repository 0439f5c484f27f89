#pragma once

#include <chrono>
#include <functional>

namespace freqrelay {

// How often a wait inside a step looks whether the relay is quitting.
inline constexpr std::chrono::milliseconds kQuitCheckInterval{50};

// How a bounded wait inside a step ended.
enum class WaitEnd { Done, TimedOut, Quit };

// Calls `waitSome` with slices of at most kQuitCheckInterval until it gives
// true or `limit` has passed, asking `quit` before each: a stalled line never
// keeps a quitting relay waiting.
WaitEnd waitInSlices(std::chrono::milliseconds limit, const std::function<bool()>& quit,
                     const std::function<bool(std::chrono::milliseconds slice)>& waitSome);

}  // namespace freqrelay
