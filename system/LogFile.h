#pragma once

#include "core/PathIdentity.h"

#include <memory>
#include <string>

namespace freqrelay {

// Why a log at `path` is refused at its name, "" when it is not: the relay
// would read its own lines, or send them to a radio as commands. The serial
// line is looked at first, by name and device: on Windows the other check
// could open the port.
inline std::string refusedLog(const std::string& path, const std::string& frequencyFile, const std::string& port1) {
    const std::string serial = serialLineAt(path, port1);
    return serial.empty() && pathsLeadToOneFile(path, frequencyFile) ? "it is the frequency file, which the relay reads"
                                                                     : serial;
}

// The file --log appends to, never the frequency file nor a serial port. Each line goes out in
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
    // no place for a log, or refusedLog refuses it; `port1` is "" when the
    // relay does not use port 1.
    bool open(const std::string& path, const std::string& frequencyFile, const std::string& port1, std::string& reason);
    // Appends `line`, which ends in its line end; false, with the reason,
    // when it was not written whole.
    bool append(const std::string& line, std::string& reason);

private:
    struct Handle;
    std::string path_;
    std::string frequencyFile_;  // checked again at each reopening
    std::string port1_;          // likewise
    std::unique_ptr<Handle> handle_;
};

}  // namespace freqrelay
