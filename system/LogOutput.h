#pragma once

#include <string>

namespace freqrelay {

// Where the program's text goes. The log's lines go to standard error, as Qt
// sends them, and with --log also to the end of a file, which a user who
// started the relay from a menu can send along when asking for help.
class LogOutput {
public:
    // Appends every later log line to `path` as well, dated; false, with
    // the reason, when it cannot be opened for appending, is no place for a
    // log, or leads to `frequencyFile` (see LogFile).
    static bool appendTo(const std::string& path, const std::string& frequencyFile, std::string& reason);
    // Routes Qt's log messages through this output.
    static void install();
};

}  // namespace freqrelay
