#pragma once

#include <string>

namespace freqrelay {

// The log's lines go to standard error, as Qt sends them, and with --log to
// the end of a file too, which a user can send along when asking for help.
class LogOutput {
public:
    // Appends every later log line to `path` as well, dated, instead of to
    // the file before, if any; to none when `path` is "". False, with the
    // reason, when LogFile cannot open it: the log stays where it was.
    static bool appendTo(const std::string& path, const std::string& frequencyFile, const std::string& port1,
                         std::string& reason);
    // Routes Qt's log messages through this output.
    static void install();
};

}  // namespace freqrelay
