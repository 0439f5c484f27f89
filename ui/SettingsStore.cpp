#include "ui/SettingsStore.h"

#include <QSettings>

namespace freqrelay {

namespace {

std::string text(const QSettings& settings, const char* key) {
    return settings.value(QLatin1String(key)).toString().toStdString();
}

std::string statusOf(const QSettings& settings) {
    switch (settings.status()) {
    case QSettings::NoError: return {};
    case QSettings::AccessError: return "the settings " + settings.fileName().toStdString() + " cannot be reached";
    case QSettings::FormatError: return "the settings " + settings.fileName().toStdString() + " cannot be read";
    }
    return {};
}

}  // namespace

StoredSettings SettingsStore::read(std::string& problem) {
    const auto store = open(false);
    problem = store ? statusOf(*store) : std::string();
    if (!store || !problem.empty()) {
        return {};
    }
    const QSettings& settings = *store;
    StoredSettings stored{text(settings, "port"), std::nullopt, text(settings, "file"), text(settings, "log")};
    if (const std::string rigctld = text(settings, "rigctld"); !rigctld.empty()) {
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
    return statusOf(settings);
}

}  // namespace freqrelay
