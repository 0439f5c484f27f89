#include "ui/SettingsStore.h"

#include <QSettings>

#include <windows.h>

namespace freqrelay {

// The registry's own place for the program, not under an organization. Qt
// makes the key as it opens it: a start that only reads must not leave an
// empty one behind.
std::unique_ptr<QSettings> SettingsStore::open(bool writing) {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\freqrelay", 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
    } else if (status == ERROR_FILE_NOT_FOUND && !writing) {
        return nullptr;
    }
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\freqrelay"),
                                       QSettings::NativeFormat);
}

}  // namespace freqrelay
