#pragma once

#include <QDBusConnection>
#include <QObject>

#include "ui/Services.hpp"

namespace tarvik::ui {

// The desktop of a freedesktop.org session: the file manager and applications over `bus`, URLs
// and folders through the session's handlers, settings through GNOME's control center when it is
// installed. Calls on the bus never block; their replies arrive on this object's thread and are
// dropped once it is gone.
class LinuxDesktop : public Desktop {
public:
    explicit LinuxDesktop(QDBusConnection bus = QDBusConnection::sessionBus());

    void openUrl(const std::string& url) override;
    void reveal(const std::string& path) override;
    void openFolder(const std::string& path) override;
    void openTrash() override;
    void copyText(const std::string& text) override;
    bool copyImage(const QByteArray& png) override;
    // Where the XDG user directories put downloads (~/Downloads unless configured otherwise).
    [[nodiscard]] std::optional<std::string> downloadsFolder() override;
    void openSettings(SettingsPanel panel) override;
    // `app.bundlePath` is the path of the application's desktop entry file. Asks only an
    // application that is D-Bus activatable and on the bus now, so that none is started to quit.
    bool askToQuit(const AppUsage& app) override;
    // The first field of the password database's comment for this user; empty when it has none.
    [[nodiscard]] std::string userFullName() override;

private:
    QDBusConnection m_bus;
    QObject m_replies;  // parent of the pending calls' watchers
};

}  // namespace tarvik::ui
