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
    static void write(std::FILE* stream, const QString& text);
};

}  // namespace freqrelay
