#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace freqrelay {

inline constexpr std::chrono::seconds kRetellAfter{10};

// Which part of the relay's work a step belongs to.
enum class StepArea { File, Encoding, Port };

// One failed step, as the operator should hear of it.
struct StepFailure {
    std::string step;    // in plain words: "opening the port"
    std::string reason;  // names the file or port: "/dev/ttyUSB0: Permission denied"
    StepArea area = StepArea::File;
    bool retrying = true;   // false when nothing will be sent for this text
    bool quitting = false;  // the relay is ending: nothing is tried again
};

// A step that fails and is tried again is one episode, from its first
// failure until the same step works: told when it starts, not at every try,
// and once more when it ends. A new reason while it keeps failing is told at
// most once per kRetellAfter. Several steps may be failing at once (the file
// read, then the file gone); each episode ends with its own step.
class Episodes {
public:
    using Clock = std::chrono::steady_clock;

    struct Ended {
        StepFailure failure;  // with the last reason
        Clock::duration lasted{};
        int tries = 0;  // the failed ones and the one that worked, if one did
    };

    // Whether the failure is to be told.
    bool failed(const StepFailure& failure, Clock::time_point now);
    // The episode `step` ends by working, if it was failing.
    std::optional<Ended> worked(const std::string& step, Clock::time_point now);
    // The episodes of `area` end without working: what failed is tried no
    // more (the relay was set up with another link or file).
    std::vector<Ended> leave(StepArea area, Clock::time_point now);

private:
    struct Episode {
        StepFailure failure;
        std::string toldReason;
        Clock::time_point since;
        Clock::time_point told;
        int failedTries = 0;
    };
    std::vector<Episode> open_;
};

}  // namespace freqrelay
