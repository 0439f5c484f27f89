#pragma once

#include "core/WriteSettle.h"

#include <functional>
#include <memory>
#include <string>

namespace freqrelay {

// Watches the folder the file's path names (against the working directory),
// and when the path is a link, the folder of the file it leads to, from the
// event loop, and tells when the file's writer has been at work:
// closed the file after writing, renamed or moved it into place, or modified
// it. A bare modification may be a writer between two writes, so the file
// is read only once the writer has closed it or it has settled (WriteSettle).
// Where the system gives no such watch, or the folder cannot be watched,
// the log says so once, nothing is told here and the relay polls as before;
// a folder that is not there yet, or is removed and made again, is watched
// from the first poll that finds it. Each system has its own part.
class FileWatch {
public:
    explicit FileWatch(std::string path);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // From now on `changed` is called, from the event loop, whenever the
    // writer has been seen at work on the file.
    void start(std::function<void()> changed);
    // When a read of the file due at `due` may go ahead, by all the watch
    // has seen up to now.
    WriteSettle::TimePoint readableAt(WriteSettle::TimePoint due) {
        update();
        return settle_.readableAt(due);
    }
    // The file is being read: what its writer does from now on is new.
    void reading() { settle_.reading(); }

private:
    struct System;
    // Whether the system's watch tells when a writer closes the file.
    static const bool kTellsCloses;
    // Takes in what the watch has seen and watches the folder if it is not
    // watched (any more); true when the writer was at work on the file.
    bool update();
    // The system's watch has something to tell.
    void woken() {
        if (update() && changed_) {
            changed_();
        }
    }

    std::string path_;
    std::string name_;
    std::function<void()> changed_;
    WriteSettle settle_{kTellsCloses};
    std::unique_ptr<System> system_;
};

}  // namespace freqrelay
