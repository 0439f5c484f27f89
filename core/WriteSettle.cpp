#include "core/WriteSettle.h"

#include "core/PollPacing.h"

namespace freqrelay {

void WriteSettle::modified(TimePoint at) { lastModified_ = at; }

void WriteSettle::finished() { lastModified_.reset(); }

WriteSettle::TimePoint WriteSettle::readableAt(TimePoint due) {
    if (!lastModified_ || due >= *lastModified_ + kSettleTime) {
        putOffSince_.reset();
        return due;
    }
    if (!putOffSince_) {
        putOffSince_ = due;
    } else if (due - *putOffSince_ >= kPollPause) {
        putOffSince_.reset();
        return due;
    }
    return *lastModified_ + kSettleTime;
}

}  // namespace freqrelay
