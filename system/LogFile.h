#pragma once

#include <memory>
#include <string>

namespace freqrelay {

// Why a log is refused at its name: the relay would read its own lines.
inline constexpr const char* kLogIsTheFrequencyFile = "it is the frequency file, which the relay reads";

// The file --log appends to, never the frequency file. Each line goes out in
// one write, so that two relays sharing a log never tear each other's lines.
// On Unix nothing waits: a FIFO with no reader is refused, and a line a full
// FIFO has no room for is lost whole (a stalled reader must not stall the
// relay). Only a file, a FIFO or a character device is taken there, and the
// log follows rotation: when the name no longer leads to the open file, it
// is opened again before the next line, with the old file's mode.
class LogFile {
public:
    LogFile();
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // False, with the reason, when `path` cannot be opened for appending, is
    // no place for a log, or leads to `frequencyFile`.
    bool open(const std::string& path, const std::string& frequencyFile, std::string& reason);
    // Appends `line`, which ends in its line end; false, with the reason,
    // when it was not written whole.
    bool append(const std::string& line, std::string& reason);

private:
    struct Handle;
    std::string path_;
    std::string frequencyFile_;  // checked again at each reopening
    std::unique_ptr<Handle> handle_;
};

}  // namespace freqrelay
