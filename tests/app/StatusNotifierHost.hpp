#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

namespace tarvik::test {

// The watcher a StatusNotifierItem host runs (the KDE name all hosts use) on a connection of the
// test's: it takes the items that register and says that a host shows them.
class StatusNotifierHost : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    explicit StatusNotifierHost(QDBusConnection connection);
    ~StatusNotifierHost() override;

    // Whether the object and the name were taken on the bus.
    [[nodiscard]] bool registered() const { return m_registered; }
    [[nodiscard]] bool isHostRegistered() const { return true; }
    [[nodiscard]] int protocolVersion() const { return 0; }
    // The bus names of the items that registered.
    [[nodiscard]] const QStringList& items() const { return m_items; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message);
    void RegisterStatusNotifierHost(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);

private:
    QDBusConnection m_connection;
    bool m_registered = false;
    QStringList m_items;
};

}  // namespace tarvik::test
