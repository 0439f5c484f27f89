#pragma once

#include <chrono>
#include <string>

namespace freqrelay {

// Tells when the frequency file has been written: closed after writing, or
// renamed or moved into place, in the folder the file's path names (against
// the working directory). A bare modification is no such sign: a writer
// that empties the file and then fills it would be caught half-done. Where
// the system has no such watch (only Linux's inotify tells a finished
// write), or the folder cannot be watched, waiting is a plain sleep; a
// folder that is removed and made again is watched again.
class FileWatch {
public:
    explicit FileWatch(std::string path);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // Waits until `deadline`, or less when the file has been written; true
    // when it has.
    bool waitForWrite(std::chrono::steady_clock::time_point deadline);

private:
    bool watching();
    // Reads what the watch has seen; true when the file was written.
    bool fileWritten();

    std::string path_;
    std::string name_;
    int watch_ = -1;   // the watch's own descriptor
    int folder_ = -1;  // the folder's watch within it
};

}  // namespace freqrelay
