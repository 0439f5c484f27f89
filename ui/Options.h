#pragma once

#include <optional>
#include <string>

namespace freqrelay {

// The command line, and what it asks for before the window opens: the
// standard streams and quit signals claimed, the log set up, port 1 mapped,
// and a display found.
class Options {
public:
    // Takes the command line. An exit status when the program is to end at
    // once: 0 after --help, --version or --list-ports, 2 for a usage error
    // or a log that cannot be opened, 1 for a display that cannot be
    // reached.
    std::optional<int> take(int argc, char** argv);
    // The application's window icon, desktop entry and steady caret.
    static void setUpApplication();

    // The frequency file, as given.
    std::string file;
    // Where port 1's device comes from: "--port", a variable or the default.
    std::string mappedBy;
};

}  // namespace freqrelay
