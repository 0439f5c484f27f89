#include "core/WriteSettle.h"

#include "core/PollPacing.h"

#include <algorithm>

namespace freqrelay {

void WriteSettle::modified(TimePoint at) {
    if (!firstModified_) {
        firstModified_ = at;
    }
    lastModified_ = at;
}

void WriteSettle::finished() {
    firstModified_.reset();
    lastModified_.reset();
}

WriteSettle::TimePoint WriteSettle::readableAt(TimePoint due) const {
    if (!firstModified_) {
        return due;
    }
    TimePoint readable = *firstModified_ + kPollPause;
    if (!tellsCloses_) {
        readable = std::min(readable, *lastModified_ + kSettleTime);
    }
    return std::max(due, readable);
}

}  // namespace freqrelay
