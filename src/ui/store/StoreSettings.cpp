#include "ui/store/StoreSettings.hpp"

#include <QVariant>

#include "ui/store/StoreContext.hpp"

namespace tarvik::ui {

StoreSettings::StoreSettings(StoreContext& context) : m_context(context) {
    const auto& settings = *m_context.services.settings;
    auto boolean = [&](const char* key, bool fallback) {
        auto value = settings.value(key);
        return value.typeId() == QMetaType::Bool ? value.toBool() : fallback;
    };
    m_showSystemServers = boolean("showSystemServers", false);
    m_notificationsEnabled = boolean("notificationsEnabled", true);
    m_hasOnboarded = boolean("hasOnboarded", false);
    auto display = settings.value("menuBarDisplay");
    m_menuBarDisplay = display.typeId() == QMetaType::QString
                           ? MenuBarDisplays::fromRawValue(display.toString().toStdString())
                           : MenuBarDisplay::count;
    m_alertOnMemoryGrowth = boolean("alertOnMemoryGrowth", true);
    m_alertOnHighCPU = boolean("alertOnHighCPU", true);
    m_alertOnHeat = boolean("alertOnHeat", true);
    m_launchAtLogin = m_context.services.loginItem->isEnabled();
}

template <typename T>
bool StoreSettings::assign(T& field, T value, Setting setting, const char* key, const QVariant& stored) {
    const bool changedValue = field != value;
    field = value;
    m_context.services.settings->setValue(key, stored);
    m_context.markChanged();
    if (changedValue) emit changed(setting);
    return changedValue;
}

void StoreSettings::setShowSystemServers(bool value) {
    assign(m_showSystemServers, value, Setting::showSystemServers, "showSystemServers", value);
}

void StoreSettings::setNotificationsEnabled(bool value) {
    assign(m_notificationsEnabled, value, Setting::notificationsEnabled, "notificationsEnabled", value);
    auto& notifier = *m_context.services.notifier;
    if (value && notifier.available()) notifier.requestAuthorization([](bool, std::optional<std::string>) {});
}

void StoreSettings::setMenuBarDisplay(MenuBarDisplay value) {
    assign(m_menuBarDisplay, value, Setting::menuBarDisplay, "menuBarDisplay",
           QString::fromUtf8(MenuBarDisplays::rawValue(value).data()));
}

void StoreSettings::setAlertOnMemoryGrowth(bool value) {
    assign(m_alertOnMemoryGrowth, value, Setting::alertOnMemoryGrowth, "alertOnMemoryGrowth", value);
}

void StoreSettings::setAlertOnHeat(bool value) {
    assign(m_alertOnHeat, value, Setting::alertOnHeat, "alertOnHeat", value);
}

void StoreSettings::setAlertOnHighCPU(bool value) {
    assign(m_alertOnHighCPU, value, Setting::alertOnHighCPU, "alertOnHighCPU", value);
}

void StoreSettings::setHasOnboarded(bool value) {
    assign(m_hasOnboarded, value, Setting::hasOnboarded, "hasOnboarded", value);
}

void StoreSettings::setLaunchAtLogin(bool value) {
    const bool changedValue = m_launchAtLogin != value;
    m_launchAtLogin = value;
    m_context.markChanged();
    if (changedValue) emit changed(Setting::launchAtLogin);
    auto& item = *m_context.services.loginItem;
    if (value == item.isEnabled()) return;
    if (auto error = item.setEnabled(value)) {
        logFailure("Tarvik: launch-at-login toggle failed: " + *error);
        // The switch shows what the desktop will really do.
        setLaunchAtLogin(item.isEnabled());
    }
}

QByteArray StoreSettings::dashboardGeometry() const {
    auto value = m_context.services.settings->value("dashboardGeometry");
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

void StoreSettings::setDashboardGeometry(const QByteArray& geometry) {
    m_context.services.settings->setValue("dashboardGeometry", geometry);
}

}  // namespace tarvik::ui
