#pragma once

#include "core/Link.h"
#include "relay/Relay.h"
#include "relay/Settings.h"
#include "ui/LinkLock.h"

#include <QString>

#include <memory>

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
    Settings settings_;
    std::unique_ptr<LinkLock> lock_;
    std::unique_ptr<Link> link_;
};

}  // namespace freqrelay
