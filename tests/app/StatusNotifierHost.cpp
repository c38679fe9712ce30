#include "app/StatusNotifierHost.hpp"

namespace tarvik::test {

namespace {

const QString service = "org.kde.StatusNotifierWatcher";
const QString path = "/StatusNotifierWatcher";

}  // namespace

StatusNotifierHost::StatusNotifierHost(QDBusConnection connection) : m_connection(std::move(connection)) {
    m_registered =
        m_connection.registerObject(path, this,
                                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                        QDBusConnection::ExportAllSignals) &&
        m_connection.registerService(service);
}

StatusNotifierHost::~StatusNotifierHost() {
    m_connection.unregisterService(service);
    m_connection.unregisterObject(path);
}

void StatusNotifierHost::RegisterStatusNotifierItem(const QString& item, const QDBusMessage& message) {
    // Items give their bus name, or only an object path on the sender's connection.
    const QString name = item.startsWith('/') ? message.service() : item;
    if (!m_items.contains(name)) m_items.append(name);
    emit StatusNotifierItemRegistered(name);
}

void StatusNotifierHost::RegisterStatusNotifierHost(const QString&) {}

}  // namespace tarvik::test
