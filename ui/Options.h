#pragma once

#include "core/Link.h"
#include "links/RigctldAddress.h"

#include <QLockFile>

#include <memory>
#include <optional>
#include <string>

namespace freqrelay {

class QtSerialControl;

// Sets rigctld's address as --rigctld does.
inline constexpr const char* kRigctldVariable = "FREQRELAY_RIGCTLD";

// The command line, and what it sets up before the window opens: the
// standard streams, quit signals, log, port 1's mapping and the display.
class Options {
public:
    // An exit status when the program is to end at once: 0 after --help,
    // --version or --list-ports, 2 for a usage error or a log that cannot be
    // opened, 3 when another relay holds the same link, 1 for a display
    // that cannot be reached.
    std::optional<int> take(int argc, char** argv);
    // The application's window icon, desktop entry and steady caret.
    static void setUpApplication();
    // `port`, or rigctld when the options ask for it.
    std::unique_ptr<Link> link(QtSerialControl& port) const;
    // Where commands go, as the log's first line tells it.
    std::string target() const;

    std::string file;  // the frequency file, as given
    // Where port 1's device or rigctld's address comes from: an option, a
    // variable or the default.
    std::string mappedBy;
    std::optional<RigctldAddress> rigctld;  // relayed to instead of port 1

private:
    // Whether this relay may hold its link alone; false, having said which
    // process holds it, when another relay does.
    bool holdLink();

    // One relay per link, held for the process's life.
    std::unique_ptr<QLockFile> linkLock_;
};

}  // namespace freqrelay
