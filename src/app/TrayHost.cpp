#include "app/TrayHost.hpp"

#include <xcb/xcb.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <cstdlib>
#include <memory>

namespace tarvik::app {

namespace {

const QString watcherName = "org.kde.StatusNotifierWatcher";

bool statusNotifierHost() {
    auto bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(watcherName).value();
}

// The screen an X client opens by default: the number after the dot of DISPLAY, else 0.
int defaultScreen() {
    const QByteArray display = qgetenv("DISPLAY");
    const auto colon = display.lastIndexOf(':');
    const auto dot = display.indexOf('.', colon < 0 ? 0 : colon);
    return dot < 0 ? 0 : display.mid(dot + 1).toInt();
}

// An XEmbed tray owns the selection _NET_SYSTEM_TRAY_S<screen> while it runs.
bool xembedTray() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return false;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(defaultScreen());
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.constData()),
            nullptr),
        &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE) return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace

TrayHost::TrayHost() {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TrayHost::check);
    m_bus.setWatchMode(QDBusServiceWatcher::WatchForRegistration);
    m_bus.addWatchedService(watcherName);
    connect(&m_bus, &QDBusServiceWatcher::serviceRegistered, this, &TrayHost::check);
}

bool TrayHost::present() {
    return statusNotifierHost() || xembedTray();
}

void TrayHost::watch() {
    if (auto bus = QDBusConnection::sessionBus(); bus.isConnected()) m_bus.setConnection(bus);
    check();
}

void TrayHost::check() {
    if (m_found) return;
    if (present()) {
        m_found = true;
        m_timer.stop();
        emit appeared();
        return;
    }
    ++m_checks;
    m_timer.start(m_checks * firstChecks < firstMinute ? firstChecks : laterChecks);
}

}  // namespace tarvik::app
