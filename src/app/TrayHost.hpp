#pragma once

#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>
#include <chrono>

namespace tarvik::app {

// Whether something in this session can show a tray item: a StatusNotifierItem watcher on the
// session bus or an XEmbed tray on the X display. Asked directly rather than through Qt, which
// decides once per run, when the first tray icon is made, whether to use StatusNotifierItem: the
// icon is therefore made only once a host is here.
class TrayHost : public QObject {
    Q_OBJECT

public:
    TrayHost();

    // True when a host runs now.
    [[nodiscard]] static bool present();
    // Emits `appeared` once, as soon as a host runs: at once when one is already there, else when
    // its bus name shows up or a check finds it (every second for a minute, then every ten seconds).
    void watch();

    static constexpr std::chrono::milliseconds firstChecks{1'000};
    static constexpr std::chrono::milliseconds laterChecks{10'000};
    static constexpr std::chrono::milliseconds firstMinute{60'000};

signals:
    void appeared();

private:
    void check();

    QDBusServiceWatcher m_bus;
    QTimer m_timer;
    int m_checks = 0;
    bool m_found = false;
};

}  // namespace tarvik::app
