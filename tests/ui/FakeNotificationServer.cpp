#include "ui/FakeNotificationServer.hpp"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <atomic>
#include <stdexcept>
#include <thread>

namespace tarvik::test {

namespace {

const QString service = "org.freedesktop.Notifications";
const QString path = "/org/freedesktop/Notifications";

// The session bus's policy without its service folders: dunst and others install files that
// would let the daemon start a real notification server.
constexpr std::string_view configuration = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=@FOLDER@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

PrivateBus::PrivateBus() {
    std::string text(configuration);
    text.replace(text.find("@FOLDER@"), 8, m_folder.path().string());
    m_folder.write("bus.conf", text);
    m_daemon = std::make_unique<TestProcess>(std::vector<std::string>{
        daemon, "--config-file=" + (m_folder / "bus.conf"), "--nofork", "--print-address=1"});
    m_address = QString::fromStdString(m_daemon->firstLine());
    if (m_address.isEmpty()) throw std::runtime_error("the private D-Bus daemon printed no address");
}

PrivateBus::~PrivateBus() {
    for (const auto& name : m_connections) QDBusConnection::disconnectFromBus(name);
}

QDBusConnection PrivateBus::connect() {
    // Connection names are global to the process.
    static std::atomic<int> counter = 0;
    m_connections.append(QString("tarvik-test-bus-%1").arg(++counter));
    return QDBusConnection::connectToBus(m_address, m_connections.back());
}

FakeNotificationServer::FakeNotificationServer(QDBusConnection connection)
    : m_connection(std::move(connection)) {
    m_registered = m_connection.registerObject(path, this, QDBusConnection::ExportAllSlots) &&
                   m_connection.registerService(service);
}

FakeNotificationServer::~FakeNotificationServer() {
    m_connection.unregisterService(service);
    m_connection.unregisterObject(path);
}

void FakeNotificationServer::invokeAction(uint id, const QString& action) {
    m_connection.send(QDBusMessage::createSignal(path, service, "ActionInvoked") << id << action);
}

uint FakeNotificationServer::Notify(const QString& appName, uint /*replacesId*/, const QString& /*appIcon*/,
                                    const QString& summary, const QString& body, const QStringList& actions,
                                    const QVariantMap& hints, int /*expireTimeout*/) {
    m_calls.push_back({appName, summary, body, actions, hints, static_cast<uint>(m_calls.size() + 1)});
    return m_calls.back().id;
}

}  // namespace tarvik::test
