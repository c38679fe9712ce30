#pragma once

#include <QSettings>

#include "ui/Services.hpp"

namespace tarvik::ui {

// Settings kept by QSettings: ~/.config/Tarvik/Tarvik.conf, or an INI file of the caller's.
// A value written as a bool reads back as a bool, also after a restart.
class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();
    explicit QtSettingsStore(const QString& iniFile);

    [[nodiscard]] QVariant value(const QString& key) const override;
    // Written through to the file at once.
    void setValue(const QString& key, const QVariant& value) override;

private:
    QSettings m_settings;
};

}  // namespace tarvik::ui
