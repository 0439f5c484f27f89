#pragma once

#include "core/Link.h"
#include "serial/RigctldAddress.h"

#include <memory>
#include <optional>
#include <string>

namespace freqrelay {

class QtSerialControl;

// Sets the rig control server's address as --rigctld does.
inline constexpr const char* kRigctldVariable = "FREQRELAY_RIGCTLD";

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
    // The way to the radio the options ask for: `port` or rigctld.
    std::unique_ptr<Link> link(QtSerialControl& port) const;
    // Where commands go, as the log's first line tells it.
    std::string target() const;

    // The frequency file, as given.
    std::string file;
    // Where port 1's device or rigctld's address comes from: an option, a
    // variable or the default.
    std::string mappedBy;
    // The rig control server to relay to instead of port 1.
    std::optional<RigctldAddress> rigctld;
};

}  // namespace freqrelay
