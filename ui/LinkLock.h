#pragma once

#include "relay/Settings.h"

#include <QLockFile>
#include <QString>

#include <memory>

namespace freqrelay {

// One relay per link: a lock file in the temporary folder, named after the
// link itself, so that every name of one device, as links and spellings give
// it, leads to one lock. Held until the object goes.
class LinkLock {
public:
    explicit LinkLock(const Settings& settings);

    // "" once this relay holds the link, or when no lock can be made (then
    // `warning` says so); otherwise who holds it.
    QString take(QString& warning);
    // Whether `settings` lead to the link this lock is for.
    bool guards(const Settings& settings) const { return identity_ == identityOf(settings); }

private:
    static QString identityOf(const Settings& settings);

    QString identity_;
    QString link_;
    std::unique_ptr<QLockFile> file_;
};

}  // namespace freqrelay
