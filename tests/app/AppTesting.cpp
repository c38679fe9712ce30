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

void StatusNotifierHost::RegisterStatusNotifierItem(const QString& item, const QDBusMessage& message) {
    // Items give their bus name, or only an object path on the sender's connection.
    const QString name = item.startsWith('/') ? message.service() : item;
    if (!m_items.contains(name)) m_items.append(name);
    emit StatusNotifierItemRegistered(name);
}

void FakeSettingsPortal::setScheme(uint scheme) {
    m_scheme = scheme;
    emit SettingChanged("org.freedesktop.appearance", "color-scheme", QDBusVariant(m_scheme));
}

QDBusVariant FakeSettingsPortal::Read(const QString& group, const QString& key) {
    if (group != "org.freedesktop.appearance" || key != "color-scheme") return QDBusVariant(QString());
    // The portal's Read answers a variant that holds the variant of the value.
    return QDBusVariant(QVariant::fromValue(QDBusVariant(m_scheme)));
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

bool AppOnBus::watch() {
    return publish(connection, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", host);
}

QString AppOnBus::item() {
    return pumpUntil([&] { return !host.items().isEmpty(); }) ? host.items().front() : QString();
}

void AppOnBus::activate(int x, int y) {
    auto call = QDBusMessage::createMethodCall(item(), "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                                               "Activate");
    call << x << y;
    connection.call(call, QDBus::Block, 5000);
}

}  // namespace tarvik::test
