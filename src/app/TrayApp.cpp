#include "app/TrayApp.hpp"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QMenu>
#include <QTimer>

#include "app/DashboardWindow.hpp"
#include "app/SessionSocket.hpp"
#include "ui/store/StoreNotifications.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/TrayLabel.hpp"

namespace tarvik::app {

QString TrayApp::instanceName() {
    return SessionSocket::path();
}

bool TrayApp::handOver(const QString& instance) {
    if (instance.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(instance);
    if (!socket.waitForConnected(500)) return false;
    socket.write("reopen\n");
    socket.waitForBytesWritten(500);
    return true;
}

TrayApp::TrayApp(ui::Services services, const QString& instance)
    : m_store(std::make_unique<ui::ServerStore>(std::move(services))) {
    m_panel = std::make_unique<PanelWindow>(*m_store);
    connect(m_panel.get(), &PanelWindow::dashboardRequested, this, &TrayApp::reopen);
    connect(m_store.get(), &ui::ServerStore::dashboardRequested, this, &TrayApp::reopen);
    connect(m_store.get(), &ui::ServerStore::panelRequested, this, [this] {
        if (!m_panel->isVisible()) togglePanel();
    });
    connect(m_store.get(), &ui::ServerStore::changed, this, &TrayApp::updateIcon);

    m_menu = std::make_unique<QMenu>();
    m_menu->addAction(tr("Open Tarvik"), this, &TrayApp::reopen);
    m_menu->addAction(tr("Quit Tarvik"), qApp, &QCoreApplication::quit);
    connect(&m_host, &TrayHost::appeared, this, &TrayApp::showTray);

    // Later launches knock here instead of starting a second app.
    if (instance.isEmpty()) return;
    QLocalServer::removeServer(instance);
    m_instance.setSocketOptions(QLocalServer::UserAccessOption);
    m_instance.listen(instance);
    connect(&m_instance, &QLocalServer::newConnection, this, [this] {
        while (auto* socket = m_instance.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith("reopen")) reopen();
                socket->disconnectFromServer();
            });
        }
    });
}

TrayApp::~TrayApp() {
    if (DashboardWindow::shared().defaultStore == m_store.get())
        DashboardWindow::shared().defaultStore = nullptr;
}

void TrayApp::start() {
    m_appearance = std::make_unique<Appearance>(QDBusConnection::sessionBus());
    m_store->startPolling();
    DashboardWindow::shared().defaultStore = m_store.get();
    updateIcon();
    m_host.watch();
    if (m_store->notifications().isFreshInstall()) {
        reopen();
    } else if (!m_tray) {
        // Without a tray the window is the app, unless a host comes up soon after the login.
        QTimer::singleShot(hostWait, this, [this] {
            if (!m_tray) reopen();
        });
    }
}

void TrayApp::showTray() {
    if (m_tray) return;
    m_tray = std::make_unique<QSystemTrayIcon>(m_icon);
    m_tray->setToolTip(m_toolTip);
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) togglePanel();
            });
    m_tray->show();
}

void TrayApp::togglePanel() {
    if (m_panel->isVisible()) {
        m_panel->hide();
        return;
    }
    if (m_panel->kind() == PanelWindow::Kind::window) {
        m_panel->showPlacedByDesktop();
        return;
    }
    const QRect icon = m_tray ? m_tray->geometry() : QRect();
    // StatusNotifierItem hosts keep the icon's place and the click's to themselves; on X11 the
    // pointer still says where the click was.
    if (icon.isEmpty() && QGuiApplication::platformName() == "xcb")
        m_panel->showAtPointer(QCursor::pos());
    else
        m_panel->showAt(icon);
}

void TrayApp::reopen() {
    m_panel->hide();
    DashboardWindow::shared().showDefault();
}

void TrayApp::updateIcon() {
    auto label = ui::TrayLabel::of(*m_store);
    if (label == m_shown) return;
    m_shown = label;
    // The bar's brightness is not known, not even from the desktop's colour scheme (a dark top bar
    // over light windows is common): the icon reads on light and dark bars alike.
    m_icon = label.icons();
    m_toolTip = label.tooltip();
    if (!m_tray) return;
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(m_toolTip);
}

}  // namespace tarvik::app
