#pragma once

#include <QCoreApplication>
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

#include "core/analysis/IdleTracker.hpp"
#include "core/servers/ServerGroup.hpp"
#include "core/servers/StopAction.hpp"
#include "ui/Services.hpp"

namespace tarvik::ui {

class StoreContext;

// What the desktop hears of dev servers coming and going: one notice per process, however many
// ports it opened, and a few a minute. More than that become one roll-up, and a churning process
// gives at most one roll-up of each kind a minute; until it is due, that kind's events wait for it.
class ServerNotices {
    Q_DECLARE_TR_FUNCTIONS(ServerNotices)

public:
    static constexpr std::size_t mostSingles = 3;  // single notices of one kind in a minute
    static constexpr double window = 60;           // seconds

    // The notices one refresh gives; `after` is everything it saw. A process counts as started
    // when it listened on nothing before, as stopped when it listens on nothing now.
    std::vector<Notification> take(const SnapshotDiff& diff, const std::vector<Server>& after, Date now);
    // While notifications are off nothing waits: switching them back on must not replay the past.
    void forget() { m_started = m_stopped = {}; }

private:
    enum class Change { started, stopped };
    struct Lane {
        std::deque<Date> posted;  // this kind's single notices of the last minute
        std::optional<Date> lastRollUp;
        std::vector<MergedServer> held;  // for the next roll-up
    };

    void take(Lane& lane, Change change, std::vector<MergedServer> events, Date now,
              std::vector<Notification>& out);

    Lane m_started, m_stopped;
};

// What the desktop hears from the store: servers starting and stopping, alerts about the machine,
// the update of the application itself.
class StoreNotifications {
    Q_DECLARE_TR_FUNCTIONS(StoreNotifications)

public:
    explicit StoreNotifications(StoreContext& context);

    // True on the first run, which has no version stored from before, with or without a desktop
    // to notify.
    [[nodiscard]] bool isFreshInstall() const { return m_isFreshInstall; }

    // Asks for permission when enabled, listens for clicks, and announces an update.
    void start();
    void sendTestNotification();
    void requestNotificationPermissionIfNeeded();
    // `after` is what the refresh saw.
    void notify(const SnapshotDiff& diff, const std::vector<Server>& after, Date now);
    void forgetServers() { m_serverNotices.forget(); }
    void alertIfNeeded(Date now);
    void announceUpdateIfNeeded();

private:
    void post(Notification notification);

    StoreContext& m_context;
    AlertThrottle m_alertThrottle{3600};
    ServerNotices m_serverNotices;
    bool m_isFreshInstall = false;
};

}  // namespace tarvik::ui
