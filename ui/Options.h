#pragma once

#include "links/RigctldAddress.h"
#include "relay/Settings.h"
#include "ui/LinkLock.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

namespace freqrelay {

// Map port 1 to a device, and set rigctld's address, as --port and
// --rigctld do.
inline constexpr const char* kPortVariable = "FREQRELAY_PORT1";
inline constexpr const char* kRigctldVariable = "FREQRELAY_RIGCTLD";

// The settings the environment gives, read once at start.
struct Environment {
    QString port1;
    QString rigctld;
    static Environment read();
};

// The settings a store holds; "" or none where it holds nothing.
struct StoredSettings {
    std::string port;
    std::optional<RigctldAddress> rigctld;
    std::string file;
    std::string log;
};

// What the command line asks the program to do.
struct Parsed {
    enum class Action { Run, Help, Version, ListPorts, Refused };
    Action action = Action::Run;
    QString text;  // the help for Help; the error and then the help when Refused
    Settings settings;
    bool quiet = false;
};

// The command line, and what it sets up before the window opens: the
// standard streams, quit signals, log and the display.
class Options {
public:
    // What `arguments` (the program's name first) ask for, over the
    // environment's settings and then the stored ones: it reads and changes
    // nothing else.
    static Parsed parse(QStringList arguments, const Environment& environment, const StoredSettings& stored = {});
    // Parses the program's own command line and applies it: an exit status
    // when the program is to end at once: 0 after --help, --version or
    // --list-ports, 2 for a usage error or a log that cannot be opened, 3
    // when another relay holds the same link, 1 for a display that cannot be
    // reached.
    std::optional<int> take(int argc, char** argv);
    // The application's window icon, desktop entry and steady caret.
    static void setUpApplication();

    Settings settings;
    std::unique_ptr<LinkLock> lock;  // on the settings' link
};

}  // namespace freqrelay
