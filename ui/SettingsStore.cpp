#include "ui/SettingsStore.h"

#include <QSettings>

namespace freqrelay {

namespace {

// A value as it was written. Commas make a hand-written one a list, which is
// taken whole; a value of another kind is none, and `problem` says so.
std::string text(const QSettings& settings, const char* key, std::string& problem) {
    const QVariant value = settings.value(QLatin1String(key));
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    }
    if (value.isValid() && !value.canConvert<QString>()) {
        problem = "the stored " + std::string(key) + " in " + settings.fileName().toStdString() + " is no text";
    }
    return value.toString().toStdString();
}

std::string statusOf(const QSettings& settings, const char* done) {
    const std::string name = "the settings " + settings.fileName().toStdString();
    switch (settings.status()) {
    case QSettings::NoError: return {};
    case QSettings::AccessError: return name + " cannot be reached";
    case QSettings::FormatError: return name + " cannot be " + done;
    }
    return {};
}

}  // namespace

StoredSettings SettingsStore::read(std::string& problem) {
    const auto store = open(false);
    problem = store ? statusOf(*store, "read") : std::string();
    if (!store || !problem.empty()) {
        return {};
    }
    const QSettings& settings = *store;
    StoredSettings stored{text(settings, "port", problem), std::nullopt, text(settings, "file", problem),
                          text(settings, "log", problem)};
    if (const std::string rigctld = text(settings, "rigctld", problem); !rigctld.empty()) {
        std::string why;
        stored.rigctld = RigctldAddress::parse(rigctld, why);
        if (!stored.rigctld) {
            problem = "the stored rigctld " + rigctld + " in " + settings.fileName().toStdString() + ": " + why;
        }
    }
    return stored;
}

std::string SettingsStore::write(const Settings& chosen) {
    const auto store = open(true);
    QSettings& settings = *store;
    // Written also when empty: a key left out would be read from the
    // system-wide store beneath.
    const auto put = [&settings](const char* key, const std::string& value) {
        settings.setValue(QLatin1String(key), QString::fromStdString(value));
    };
    // rigctld, when stored, wins over the port: a port chosen clears it.
    if (chosen.linkFrom == kByStore) {
        put("rigctld", chosen.rigctld ? chosen.rigctld->text() : std::string());
        if (!chosen.rigctld) {
            put("port", chosen.port);
        }
    }
    if (chosen.fileFrom == kByStore) {
        put("file", chosen.file);
    }
    if (chosen.logFrom == kByStore) {
        put("log", chosen.log);
    }
    settings.sync();
    return statusOf(settings, "written");
}

std::string SettingsStore::fileName() {
    const auto store = open(false);
    return store ? store->fileName().toStdString() : std::string();
}

}  // namespace freqrelay
