#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

namespace tarvik::ui {

// The desktop's light or dark preference, as the freedesktop settings portal publishes it
// (org.freedesktop.appearance color-scheme), read once and then followed through its change
// signal. Qt 6.4 reads it on no desktop, so the app asks itself. Lives on the GUI thread.
class ColorSchemeSetting : public QObject {
    Q_OBJECT

public:
    enum class Scheme { none, dark, light };

    // Asks the portal on `bus` without waiting; its answer arrives as changed(). With no portal, or
    // none that answers within two seconds, the scheme stays none and nothing is emitted.
    explicit ColorSchemeSetting(QDBusConnection bus, QObject* parent = nullptr);

    [[nodiscard]] Scheme scheme() const { return m_scheme; }
    // Whether the first question has had its answer, an error or no answer in time.
    [[nodiscard]] bool answered() const { return m_answered; }
    // The portal's number for the setting: 1 prefers dark, 2 prefers light, anything else none.
    [[nodiscard]] static Scheme fromPortal(uint value);

signals:
    // Emitted when the first answer comes and whenever the desktop's preference changes.
    void changed(tarvik::ui::ColorSchemeSetting::Scheme scheme);

private slots:
    // The portal's SettingChanged(group, key, value).
    void settingChanged(const QDBusMessage& message);

private:
    void take(QVariant value);

    QDBusConnection m_bus;
    Scheme m_scheme = Scheme::none;
    bool m_answered = false;
};

}  // namespace tarvik::ui
