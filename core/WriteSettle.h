#pragma once

#include <chrono>
#include <optional>

namespace freqrelay {

// Where the system tells no close, a writer's pause this long ends its text:
// writers put a frequency in one or two writes a few milliseconds apart
// ("1425", then "0000"; or an emptied file, then its text), and 30 ms is
// short next to the poll's 250 ms.
inline constexpr std::chrono::milliseconds kSettleTime{30};

// When the file may be read: not while a writer may be between two writes
// of one text. After a modification, once the writer has closed the file or
// renamed it into place, or (where the system tells no close) once the
// writes have paused for kSettleTime; and at the latest a poll pause after
// the first modification since the last read, so that a writer that never
// closes the file and never pauses is still followed.
class WriteSettle {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // `tellsCloses`: the watch tells when a writer closes the file.
    explicit WriteSettle(bool tellsCloses) : tellsCloses_(tellsCloses) {}

    // The file was modified (written, emptied) at `at`.
    void modified(TimePoint at);
    // The file was closed after writing or renamed into place: whole.
    void finished();
    // The file is being read: what a writer does from now on is new.
    void reading() { finished(); }
    // When a read due at `due` may go ahead: later while a writer is at work.
    TimePoint readableAt(TimePoint due) const;

private:
    bool tellsCloses_;
    std::optional<TimePoint> firstModified_;
    std::optional<TimePoint> lastModified_;
};

}  // namespace freqrelay
