#include "app/AppTesting.hpp"

#include <QMainWindow>

#include "app/DashboardWindow.hpp"
#include "core/Version.hpp"

namespace tarvik::test {

bool publish(QDBusConnection& connection, const QString& service, const QString& path, QObject& object) {
    return connection.registerObject(path, &object,
                                     QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                         QDBusConnection::ExportAllSignals) &&
           connection.registerService(service);
}

std::unique_ptr<app::TrayApp> onboardedApp(FakeWorld& desk, const QString& instance) {
    desk.settings->values["hasOnboarded"] = true;
    desk.settings->values["lastRunVersion"] = QString(TARVIK_VERSION);
    return std::make_unique<app::TrayApp>(liveMachine(desk), instance);
}

bool dashboardShown() {
    auto* window = app::DashboardWindow::shared().window();
    return window && window->isVisible();
}

void hideDashboard() {
    if (auto* window = app::DashboardWindow::shared().window()) window->hide();
}

void AppOnBus::launch(const std::vector<std::string>& environment) {
    std::vector<std::string> session = {"HOME=" + home.path().string(),
                                        "XDG_RUNTIME_DIR=" + runtime.path().string(),
                                        "DBUS_SESSION_BUS_ADDRESS=" + bus.address().toStdString()};
    session.insert(session.end(), environment.begin(), environment.end());
    app.emplace(withOnly(session, {TARVIK_APP_BINARY}));
}

void AppOnBus::activate(int x, int y) {
    auto call = QDBusMessage::createMethodCall(item(), "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                                               "Activate");
    call << x << y;
    connection.call(call, QDBus::Block, 5000);
}

}  // namespace tarvik::test
