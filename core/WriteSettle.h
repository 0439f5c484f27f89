#pragma once

#include <chrono>
#include <optional>

namespace freqrelay {

// Writers put a frequency into the file in one or two writes a few
// milliseconds apart ("1425", then "0000"; or an emptied file, then its
// text). 30 ms covers such a pause with room to spare, and is short next to
// the poll's 250 ms, so the radio still follows at once.
inline constexpr std::chrono::milliseconds kSettleTime{30};

// What a watch has seen of the file's writer, and so when the file may be
// read: not while a writer may be between two writes of one text. A
// modification with no close after writing or rename into place since is put
// off until it is kSettleTime old. A writer that never pauses that long is
// read anyway once reads have been put off for a poll pause.
class WriteSettle {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // The file was modified (written, emptied) at `at`.
    void modified(TimePoint at);
    // The file was closed after writing or renamed into place: whole.
    void finished();
    // When a read due at `due` may go ahead: `due` itself, or later while
    // a writer is still at work.
    TimePoint readableAt(TimePoint due);

private:
    std::optional<TimePoint> lastModified_;
    std::optional<TimePoint> putOffSince_;
};

}  // namespace freqrelay
