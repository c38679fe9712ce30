#pragma once

#include <QLocalServer>
#include <QSystemTrayIcon>
#include <chrono>
#include <memory>
#include <optional>

#include "app/Appearance.hpp"
#include "app/PanelWindow.hpp"
#include "app/TrayHost.hpp"
#include "ui/ServerStore.hpp"
#include "ui/Services.hpp"
#include "ui/views/TrayLabel.hpp"

class QMenu;

namespace tarvik::app {

// The running application: the store, the tray item with its live label, the panel that hangs
// from it and the dashboard window; one per desktop session, later launches in the session hand
// over to it.
class TrayApp : public QObject {
    Q_OBJECT

public:
    // The local socket a second launch in this session asks this one to reopen through; empty
    // where there is no private place for it.
    [[nodiscard]] static QString instanceName();
    // True when another instance took the request to reopen; this one should then exit.
    [[nodiscard]] static bool handOver(const QString& instance = instanceName());

    // `instance` names the socket later launches knock at; empty listens for none.
    explicit TrayApp(ui::Services services, const QString& instance = instanceName());
    ~TrayApp() override;

    // Starts polling, follows the desktop's light or dark preference, and shows the tray item as soon as a
    // tray host runs. The dashboard opens on a fresh install, and when no host has appeared within `hostWait`
    // of the start (hosts often start after the apps at login); the item still shows whenever one appears.
    void start();
    void togglePanel();
    // The dashboard on its overview, for a reopen or a click on the update notice.
    void reopen();

    [[nodiscard]] ui::ServerStore& store() { return *m_store; }
    // The tray item; nullptr until a tray host appears.
    [[nodiscard]] QSystemTrayIcon* tray() { return m_tray.get(); }
    [[nodiscard]] PanelWindow& panel() { return *m_panel; }

    // How long the app waits for a tray host before it opens the dashboard; set before start().
    std::chrono::milliseconds hostWait{60'000};

private:
    void showTray();
    void updateIcon();

    std::unique_ptr<Appearance> m_appearance;
    std::unique_ptr<ui::ServerStore> m_store;
    TrayHost m_host;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QIcon m_icon;
    QString m_toolTip;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<PanelWindow> m_panel;
    QLocalServer m_instance;
    std::optional<ui::TrayLabel> m_shown;
};

}  // namespace tarvik::app
