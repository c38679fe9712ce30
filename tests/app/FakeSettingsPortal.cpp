#include "app/FakeSettingsPortal.hpp"

namespace tarvik::test {

namespace {

const QString service = "org.freedesktop.portal.Desktop";
const QString path = "/org/freedesktop/portal/desktop";

}  // namespace

FakeSettingsPortal::FakeSettingsPortal(QDBusConnection connection, uint scheme)
    : m_connection(std::move(connection)), m_scheme(scheme) {
    m_registered = m_connection.registerObject(
                       path, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
                   m_connection.registerService(service);
}

FakeSettingsPortal::~FakeSettingsPortal() {
    m_connection.unregisterService(service);
    m_connection.unregisterObject(path);
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

}  // namespace tarvik::test
