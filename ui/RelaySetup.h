#pragma once

#include "core/Link.h"
#include "relay/Relay.h"
#include "relay/Settings.h"
#include "ui/LinkLock.h"

#include <QString>

#include <memory>
#include <set>
#include <string>

namespace freqrelay {

// What applying chosen settings gave.
struct Applied {
    QString linkRefused;  // another relay holds the link: nothing changed
    QString logRefused;   // the log cannot be opened there: nothing changed
    QString notStored;    // the relay switched, but the store was not written
};

// The settings in force, the link they lead to and the lock on it; sets the
// relay up anew with chosen settings while it runs.
class RelaySetup {
public:
    RelaySetup(Settings settings, std::unique_ptr<LinkLock> lock);

    const Settings& settings() const { return settings_; }
    Link& link() { return *link_; }
    // Switches `relay` to `chosen` at once, then stores them.
    Applied apply(const Settings& chosen, Relay& relay);

private:
    // A link to `settings`' port or server, told of a line an earlier link
    // left with that server.
    std::unique_ptr<Link> linkFor(const Settings& settings);

    Settings settings_;
    std::unique_ptr<LinkLock> lock_;
    // The servers that links let go of may still carry out a line of.
    std::set<std::string> lateServers_;
    std::unique_ptr<Link> link_;
};

}  // namespace freqrelay
