#pragma once

#include <memory>
#include <string>

namespace freqrelay {

// Why a log is refused at its name: the relay would read its own lines.
inline constexpr const char* kLogIsTheFrequencyFile = "it is the frequency file, which the relay reads";

// The file --log appends to. Each line goes out in one write, so that the
// lines of two relays sharing a log never tear into each other. It is never
// the frequency file (see pathsLeadToOneFile), nor created through a link
// that leads to it. Where the system allows it (Unix), neither opening nor
// writing waits: a FIFO with no reader is refused, and a line that a FIFO
// has no room for now is not written (the relay must not wait on a reader
// that stopped reading), nor any part of it. Anything that is neither a
// file, a FIFO nor a character device is refused there, and the log follows
// rotation: when its name leads to another file than the one open, or to
// none, the name is opened again before the next line (unless it leads to
// the frequency file then), and created with the mode the old file had.
class LogFile {
public:
    LogFile();
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens `path` for appending; false, with the reason, when it cannot be
    // opened, is no place for a log, or leads to `frequencyFile`.
    bool open(const std::string& path, const std::string& frequencyFile, std::string& reason);
    // Appends `line`, which ends in its line end; false, with the reason,
    // when it was not written whole.
    bool append(const std::string& line, std::string& reason);

private:
    struct Handle;
    std::string path_;
    std::string frequencyFile_;  // read at each reopening, where there is one
    std::unique_ptr<Handle> handle_;
};

}  // namespace freqrelay
