#include "ui/linux/ColorSchemeSetting.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace tarvik::ui {

namespace {

const QString service = "org.freedesktop.portal.Desktop";
const QString path = "/org/freedesktop/portal/desktop";
const QString interface = "org.freedesktop.portal.Settings";
const QString group = "org.freedesktop.appearance";
const QString key = "color-scheme";
constexpr int answerWithinMs = 2000;

}  // namespace

ColorSchemeSetting::ColorSchemeSetting(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    m_bus.connect(service, path, interface, "SettingChanged", this, SLOT(settingChanged(QDBusMessage)));
    auto read = QDBusMessage::createMethodCall(service, path, interface, "Read");
    read << group << key;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(read, answerWithinMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_answered = true;
        const QDBusMessage reply = watcher->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            take(reply.arguments().front());
    });
}

ColorSchemeSetting::Scheme ColorSchemeSetting::fromPortal(uint value) {
    switch (value) {
        case 1:
            return Scheme::dark;
        case 2:
            return Scheme::light;
        default:
            return Scheme::none;
    }
}

void ColorSchemeSetting::settingChanged(const QDBusMessage& message) {
    const auto arguments = message.arguments();
    if (arguments.size() == 3 && arguments[0].toString() == group && arguments[1].toString() == key)
        take(arguments[2]);
}

void ColorSchemeSetting::take(QVariant value) {
    // Read wraps the value in one variant more than the signal does; portals differ in how many.
    for (int depth = 0; depth < 4 && value.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    bool isNumber = false;
    const uint number = value.toUInt(&isNumber);
    m_scheme = isNumber ? fromPortal(number) : Scheme::none;
    emit changed(m_scheme);
}

}  // namespace tarvik::ui
