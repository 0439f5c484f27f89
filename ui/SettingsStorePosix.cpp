#include "ui/SettingsStore.h"

#include <QSettings>

namespace freqrelay {

// The user's file, over the system-wide one.
std::unique_ptr<QSettings> SettingsStore::open(bool) {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("freqrelay"),
                                       QStringLiteral("freqrelay"));
}

}  // namespace freqrelay
