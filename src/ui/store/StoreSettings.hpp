#pragma once

#include <QByteArray>
#include <QObject>

#include "ui/MenuBarDisplay.hpp"

class QVariant;

namespace tarvik::ui {

class StoreContext;

// The user's choices: read once, written back on every change, then their side effects.
class StoreSettings : public QObject {
    Q_OBJECT

public:
    enum class Setting {
        showSystemServers,
        notificationsEnabled,
        menuBarDisplay,
        alertOnMemoryGrowth,
        alertOnHeat,
        alertOnHighCPU,
        hasOnboarded,
        launchAtLogin,
    };
    Q_ENUM(Setting)

    explicit StoreSettings(StoreContext& context);

    [[nodiscard]] bool showSystemServers() const { return m_showSystemServers; }
    [[nodiscard]] bool notificationsEnabled() const { return m_notificationsEnabled; }
    [[nodiscard]] MenuBarDisplay menuBarDisplay() const { return m_menuBarDisplay; }
    [[nodiscard]] bool alertOnMemoryGrowth() const { return m_alertOnMemoryGrowth; }
    [[nodiscard]] bool alertOnHeat() const { return m_alertOnHeat; }
    [[nodiscard]] bool alertOnHighCPU() const { return m_alertOnHighCPU; }
    [[nodiscard]] bool hasOnboarded() const { return m_hasOnboarded; }
    [[nodiscard]] bool launchAtLogin() const { return m_launchAtLogin; }

    void setShowSystemServers(bool value);
    void setNotificationsEnabled(bool value);
    void setMenuBarDisplay(MenuBarDisplay value);
    void setAlertOnMemoryGrowth(bool value);
    void setAlertOnHeat(bool value);
    void setAlertOnHighCPU(bool value);
    void setHasOnboarded(bool value);
    void setLaunchAtLogin(bool value);
    // Where the dashboard window was last, as the window system saves it; empty before.
    [[nodiscard]] QByteArray dashboardGeometry() const;
    void setDashboardGeometry(const QByteArray& geometry);

signals:
    // Once per setting that took a new value; writing the value it has says nothing.
    void changed(StoreSettings::Setting setting);

private:
    // Stores `value` in `field`, writes it back under `key` and tells of the change.
    template <typename T>
    bool assign(T& field, T value, Setting setting, const char* key, const QVariant& stored);

    StoreContext& m_context;
    bool m_showSystemServers = false;
    bool m_notificationsEnabled = true;
    MenuBarDisplay m_menuBarDisplay = MenuBarDisplay::count;
    bool m_alertOnMemoryGrowth = true;
    bool m_alertOnHeat = true;
    bool m_alertOnHighCPU = true;
    bool m_hasOnboarded = false;
    bool m_launchAtLogin = false;
};

}  // namespace tarvik::ui
