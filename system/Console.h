#pragma once

#include <QString>

#include <cstdio>

namespace freqrelay {

// Text for the user on standard output or error. A Windows console is
// written in UTF-16, so that every letter shows whatever its code page;
// output redirected to a file or a pipe gets UTF-8 there, and the locale's
// encoding elsewhere.
class Console {
public:
    // Gives standard output and error a place to lead before anything else
    // is opened. On Windows a window program has none of its own: it takes
    // the console of the shell that started it, when there is one. On POSIX
    // a closed standard descriptor is opened on /dev/null, or the next file
    // opened (the signal pipe, the port, the log) would take its number and
    // receive what is written to the console.
    static void claimStandardStreams();
    static void write(std::FILE* stream, const QString& text);
};

}  // namespace freqrelay
