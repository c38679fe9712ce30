#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

namespace tarvik::test {

// The freedesktop settings portal on a connection of the test's, publishing only the desktop's
// colour scheme (the portal's number: 0 none, 1 dark, 2 light), wrapped the way the real portal
// wraps it.
class FakeSettingsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    FakeSettingsPortal(QDBusConnection connection, uint scheme);
    ~FakeSettingsPortal() override;

    [[nodiscard]] bool registered() const { return m_registered; }
    // Changes the scheme and says so on the bus.
    void setScheme(uint scheme);

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key);

Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    QDBusConnection m_connection;
    uint m_scheme;
    bool m_registered = false;
};

}  // namespace tarvik::test
