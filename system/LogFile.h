#pragma once

#include <memory>
#include <string>

namespace freqrelay {

// The file --log appends to. Each line goes out in one write, so that the
// lines of two relays sharing a log never tear into each other. Where the
// system allows it (Unix), opening never waits for a reader, a FIFO with no
// reader and anything that is neither a file, a FIFO nor a character device
// are refused, and the log follows rotation: when its name leads to another
// file than the one open, or to none, the name is opened again before the
// next line, and created with the mode the old file had.
class LogFile {
public:
    LogFile();
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens `path` for appending; false, with the reason, when it cannot be
    // opened or is no place for a log.
    bool open(const std::string& path, std::string& reason);
    // Appends `line`, which ends in its line end; false, with the reason,
    // when it was not written whole.
    bool append(const std::string& line, std::string& reason);

private:
    struct Handle;
    std::string path_;
    std::unique_ptr<Handle> handle_;
};

}  // namespace freqrelay
