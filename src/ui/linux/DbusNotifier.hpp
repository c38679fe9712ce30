#pragma once

#include <QDBusConnection>
#include <QObject>
#include <unordered_map>

#include "ui/Services.hpp"

namespace tarvik::ui {

// Notifications through the session's org.freedesktop.Notifications server. Posting never blocks; `done`
// and the click handler run on this object's thread, and never once it is gone.
class DbusNotifier : public QObject, public Notifier {
    Q_OBJECT

public:
    explicit DbusNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    // Asks the bus whether a server is running or can be started, each time.
    [[nodiscard]] bool available() override;
    // There is no permission to ask for: authorized whenever a server is there, else denied.
    [[nodiscard]] Authorization authorization() override;
    void requestAuthorization(
        std::function<void(bool granted, std::optional<std::string> error)> done) override;
    // The body is shown as it is written, never as markup.
    void post(const Notification& notification, Done done) override;
    void onClick(std::function<void(const std::string& identifier)> handler) override;

private Q_SLOTS:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    std::function<void(const std::string&)> m_onClick;
    std::unordered_map<uint, std::string> m_identifiers;  // of the server's ids of our notifications
};

}  // namespace tarvik::ui
