#include "ui/linux/DbusNotifier.hpp"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>

namespace tarvik::ui {

namespace {

const QString service = "org.freedesktop.Notifications";
const QString path = "/org/freedesktop/Notifications";
const QString interface = "org.freedesktop.Notifications";

// Servers read a subset of markup in bodies, and the texts we show name servers and processes
// that anyone could have named.
QString plainBody(const std::string& body) {
    QString escaped;
    for (QChar c : QString::fromStdString(body)) {
        if (c == '&')
            escaped += "&amp;";
        else if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else
            escaped += c;
    }
    return escaped;
}

}  // namespace

DbusNotifier::DbusNotifier(QDBusConnection bus) : m_bus(std::move(bus)) {
    // The server sends these to every client, so only ids of our own notifications count.
    m_bus.connect(service, path, interface, "ActionInvoked", this, SLOT(actionInvoked(uint, QString)));
    m_bus.connect(service, path, interface, "NotificationClosed", this, SLOT(notificationClosed(uint, uint)));
}

bool DbusNotifier::available() {
    if (!m_bus.isConnected()) return false;
    QDBusConnectionInterface* bus = m_bus.interface();
    if (bus->isServiceRegistered(service).value()) return true;
    // A server that the bus starts on the first notification counts as well.
    QDBusReply<QStringList> activatable = bus->call("ListActivatableNames");
    return activatable.isValid() && activatable.value().contains(service);
}

Authorization DbusNotifier::authorization() {
    return available() ? Authorization::authorized : Authorization::denied;
}

void DbusNotifier::requestAuthorization(std::function<void(bool, std::optional<std::string>)> done) {
    bool granted = available();
    done(granted,
         granted ? std::nullopt : std::optional<std::string>("no notification service on the session bus"));
}

void DbusNotifier::post(const Notification& notification, Done done) {
    if (!available()) {
        done("no notification service on the session bus");
        return;
    }
    QVariantMap hints{{"desktop-entry", "tarvik"}};
    if (notification.sound)
        hints.insert("sound-name", "message-new-instant");
    else
        hints.insert("suppress-sound", true);
    auto call = QDBusMessage::createMethodCall(service, path, interface, "Notify");
    call << QString("Tarvik") << 0u << QString("tarvik") << QString::fromStdString(notification.title)
         << plainBody(notification.body) << QStringList{"default", "Open"} << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, identifier = notification.identifier,
             done = std::move(done)](QDBusPendingCallWatcher* finished) {
                QDBusPendingReply<uint> reply = *finished;
                finished->deleteLater();
                if (reply.isError()) {
                    done("could not post the notification: " + reply.error().message().toStdString());
                    return;
                }
                m_identifiers[reply.value()] = identifier;
                done(std::nullopt);
            });
}

void DbusNotifier::onClick(std::function<void(const std::string&)> handler) {
    m_onClick = std::move(handler);
}

void DbusNotifier::actionInvoked(uint id, const QString& action) {
    auto it = m_identifiers.find(id);
    if (action != "default" || it == m_identifiers.end() || !m_onClick) return;
    std::string identifier = it->second;  // the handler may post or forget notifications
    m_onClick(identifier);
}

void DbusNotifier::notificationClosed(uint id, uint /*reason*/) {
    m_identifiers.erase(id);
}

}  // namespace tarvik::ui
