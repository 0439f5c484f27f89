#pragma once

#include "core/WriteSettle.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace freqrelay {

// Watches the file's folder (and a link's target's folder) from the event
// loop, and tells when the writer has closed, moved in or modified the file.
// A bare modification may come between two writes, so the file is read only
// once the writer has closed it or it has settled (WriteSettle). Where there
// is no watch the log says so once and the relay just polls; a folder that
// is missing, or removed and made again, is watched from the poll that
// finds it.
class FileWatch {
public:
    explicit FileWatch(std::string path);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // From now on `changed` is called whenever the writer is seen at work,
    // with the time the file may be read.
    using Changed = std::function<void(WriteSettle::TimePoint readable)>;
    void start(Changed changed);
    // When a read of the file due at `due` may go ahead.
    WriteSettle::TimePoint readableAt(WriteSettle::TimePoint due) {
        written_ = update() || written_;
        return settle_.readableAt(due);
    }
    // The file is being read: what its writer does from now on is new.
    // True when the writer was seen at work since the last read.
    bool reading() {
        settle_.reading();
        return std::exchange(written_, false);
    }

private:
    struct System;
    // Whether the system's watch tells when a writer closes the file.
    static const bool kTellsCloses;
    // Takes in what the watch has seen, and watches the folder if it is not
    // watched; true when the writer was at work on the file.
    bool update();
    // The time comes from what update() has just taken in: one wake reads
    // the watch once.
    void woken() {
        if (update()) {
            written_ = true;
            if (changed_) {
                changed_(settle_.readableAt(std::chrono::steady_clock::now()));
            }
        }
    }

    std::string path_;
    Changed changed_;
    WriteSettle settle_{kTellsCloses};
    bool written_ = false;
    std::unique_ptr<System> system_;
};

}  // namespace freqrelay
