#include "links/StepWait.h"

#include <algorithm>

namespace freqrelay {

WaitEnd waitInSlices(std::chrono::milliseconds limit, const std::function<bool()>& quit,
                     const std::function<bool(std::chrono::milliseconds slice)>& waitSome) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (quit && quit()) {
            return WaitEnd::Quit;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return WaitEnd::TimedOut;
        }
        if (waitSome(std::min(left, kQuitCheckInterval))) {
            return WaitEnd::Done;
        }
    }
}

}  // namespace freqrelay
