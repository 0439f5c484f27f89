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
// a folder that is removed and made again is watched again (on Windows from
// the first poll that finds it back). Each system has its own part.
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

private:
    struct System;
    // Watches the folder if it is not watched yet, and takes in what the
    // watch has seen; true when the writer was at work on the file.
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
    WriteSettle settle_;
    std::unique_ptr<System> system_;
};

}  // namespace freqrelay
