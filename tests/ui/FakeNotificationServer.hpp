#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"

namespace tarvik::test {

// A D-Bus daemon of the test's own, with no services to start, so that nothing the user runs
// answers on it; killed when the object goes. Connections made through `connect` are closed
// first, so objects holding one must go before the bus does.
class PrivateBus {
public:
    static constexpr const char* daemon = "/usr/bin/dbus-daemon";

    // Throws when the daemon does not start or prints no address.
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    [[nodiscard]] const QString& address() const { return m_address; }
    // A new connection to this bus (check isConnected()).
    QDBusConnection connect();

private:
    TempDir m_folder;  // the configuration and the socket
    std::unique_ptr<TestProcess> m_daemon;
    QString m_address;
    QStringList m_connections;
};

// What a client sent to Notify.
struct NotifyCall {
    QString appName;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    uint id = 0;  // what the server answered
};

// org.freedesktop.Notifications on a connection, answering every Notify with the next id (from
// 1) and recording it.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit FakeNotificationServer(QDBusConnection connection);
    ~FakeNotificationServer() override;

    // Whether the object and the name were taken on the bus.
    [[nodiscard]] bool registered() const { return m_registered; }
    [[nodiscard]] const std::vector<NotifyCall>& calls() const { return m_calls; }
    // Sends the signal a server sends when the user clicks the notification or one of its buttons.
    void invokeAction(uint id, const QString& action);

public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout);

private:
    QDBusConnection m_connection;
    bool m_registered = false;
    std::vector<NotifyCall> m_calls;
};

}  // namespace tarvik::test
