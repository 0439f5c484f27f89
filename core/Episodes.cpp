#include "core/Episodes.h"

#include <algorithm>

namespace freqrelay {

bool Episodes::failed(const StepFailure& failure, Clock::time_point now) {
    const auto episode =
        std::find_if(open_.begin(), open_.end(), [&](const Episode& e) { return e.failure.step == failure.step; });
    if (episode == open_.end()) {
        // A failure nothing will try again opens no episode: it is told, and
        // that is all.
        if (failure.retrying && !failure.quitting) {
            open_.push_back(Episode{failure, failure.reason, now, now, 1});
        }
        return true;
    }
    ++episode->failedTries;
    episode->failure = failure;
    if (failure.reason == episode->toldReason || now - episode->told < kRetellAfter) {
        return false;
    }
    episode->toldReason = failure.reason;
    episode->told = now;
    return true;
}

std::optional<Episodes::Ended> Episodes::worked(const std::string& step, Clock::time_point now) {
    const auto episode =
        std::find_if(open_.begin(), open_.end(), [&](const Episode& e) { return e.failure.step == step; });
    if (episode == open_.end()) {
        return std::nullopt;
    }
    Ended ended{episode->failure, now - episode->since, episode->failedTries + 1};
    open_.erase(episode);
    return ended;
}

std::vector<Episodes::Ended> Episodes::leave(StepArea area, Clock::time_point now) {
    std::vector<Ended> left;
    std::erase_if(open_, [&](const Episode& episode) {
        if (episode.failure.area != area) {
            return false;
        }
        left.push_back(Ended{episode.failure, now - episode.since, episode.failedTries});
        return true;
    });
    return left;
}

}  // namespace freqrelay
