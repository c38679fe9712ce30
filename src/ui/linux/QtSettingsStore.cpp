#include "ui/linux/QtSettingsStore.hpp"

namespace tarvik::ui {

QtSettingsStore::QtSettingsStore() : m_settings("Tarvik", "Tarvik") {}

QtSettingsStore::QtSettingsStore(const QString& iniFile) : m_settings(iniFile, QSettings::IniFormat) {}

QVariant QtSettingsStore::value(const QString& key) const {
    QVariant stored = m_settings.value(key);
    // An INI file keeps no types: a bool comes back from it as the string "true" or "false".
    if (stored.typeId() == QMetaType::QString) {
        if (stored.toString() == "true") return true;
        if (stored.toString() == "false") return false;
    }
    return stored;
}

void QtSettingsStore::setValue(const QString& key, const QVariant& value) {
    m_settings.setValue(key, value);
    m_settings.sync();
}

}  // namespace tarvik::ui
