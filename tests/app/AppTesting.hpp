#pragma once

#include <unistd.h>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

#include "app/TrayApp.hpp"
#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"
#include "ui/FakeNotificationServer.hpp"
#include "ui/LiveMachine.hpp"

namespace tarvik::test {

// Publishes everything `object` has at `path` under the name `service`; false when the bus
// refused. The object leaves the bus when it goes, the name when the connection closes.
bool publish(QDBusConnection& connection, const QString& service, const QString& path, QObject& object);

// The watcher a StatusNotifierItem host runs (the KDE name all hosts use): it takes the items that
// register and says that a host shows them.
class StatusNotifierHost : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)

public:
    [[nodiscard]] bool isHostRegistered() const { return true; }
    QStringList items;  // the bus names of the items that registered

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& item, const QDBusMessage& message) {
        // Items give their bus name, or only an object path on the sender's connection.
        if (const QString name = item.startsWith('/') ? message.service() : item; !items.contains(name))
            items.append(name);
    }
};

// The app in this process, on the fakes' desktop and this machine, past its first run.
std::unique_ptr<app::TrayApp> onboardedApp(FakeWorld& desk, const QString& instance = {});
[[nodiscard]] bool dashboardShown();
void hideDashboard();

// A session bus of the test's own and the real app on it, with a home and a runtime folder of its
// own, and a StatusNotifierItem watcher for its item.
struct AppOnBus {
    [[nodiscard]] static bool possible() { return access(PrivateBus::daemon, X_OK) == 0; }
    // Starts the app with `environment` ("KEY=value": its display) added to the session's.
    void launch(const std::vector<std::string>& environment);
    // Starts the watcher; false when the bus refused it.
    bool watch() {
        return publish(connection, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", host);
    }
    // The bus name of the first item that registered, once one did; empty when none came in 30 s.
    QString item() {
        return pumpUntil([&] { return !host.items.isEmpty(); }) ? host.items.front() : QString();
    }
    // Calls the item's Activate(x, y), as a host does for a click at that point of the screen.
    void activate(int x, int y);

    PrivateBus bus;
    QDBusConnection connection = bus.connect();
    TempDir home, runtime;
    StatusNotifierHost host;
    std::optional<TestProcess> app;
};

}  // namespace tarvik::test
