#pragma once

#include "relay/Settings.h"
#include "ui/Options.h"

#include <memory>
#include <string>

class QSettings;

namespace freqrelay {

// The settings remembered between runs, through QSettings under
// "freqrelay": $XDG_CONFIG_HOME/freqrelay/freqrelay.conf over
// /etc/xdg/freqrelay/freqrelay.conf, HKEY_CURRENT_USER\Software\freqrelay on
// Windows; the keys port, rigctld, file and log.
class SettingsStore {
public:
    // What the store holds. A store that cannot be read, or a value in it
    // that cannot be, gives nothing of that, and `problem` says why; reading
    // never writes it.
    static StoredSettings read(std::string& problem);
    // Writes the parts of `settings` that come from the store (the dialog's
    // choices), leaving the rest as stored; "" or why it could not.
    static std::string write(const Settings& settings);
    // The store's file (on Windows the registry key's name).
    static std::string fileName();

private:
    // The store, where the system keeps a program's settings; none to read
    // where nothing was ever stored.
    static std::unique_ptr<QSettings> open(bool writing);
};

}  // namespace freqrelay
