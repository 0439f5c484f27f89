#pragma once

#include <string>

namespace freqrelay {

// Where the program's text goes. The log's lines go to standard error, as Qt
// sends them, and with --log also to the end of a file, which a user who
// started the relay from a menu can send along when asking for help. On
// Windows a window program has no standard error of its own: it writes to
// the console of the shell that started it, when there is one.
class LogOutput {
public:
    // Windows: takes the starting shell's console for standard output and
    // error where they lead nowhere. Elsewhere nothing is needed.
    static void attachToParentConsole();
    // Appends every later log line to `path` as well, dated; false, with
    // the reason, when it cannot be opened for appending, is no place for a
    // log, or is `frequencyFile` itself.
    static bool appendTo(const std::string& path, const std::string& frequencyFile, std::string& reason);
    // Routes Qt's log messages through this output.
    static void install();
};

}  // namespace freqrelay
