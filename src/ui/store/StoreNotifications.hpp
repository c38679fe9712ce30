#pragma once

#include <QCoreApplication>

#include "core/analysis/IdleTracker.hpp"
#include "core/servers/StopAction.hpp"
#include "ui/Services.hpp"

namespace tarvik::ui {

class StoreContext;

// What the desktop hears from the store: servers starting and stopping, alerts about the machine,
// the update of the application itself.
class StoreNotifications {
    Q_DECLARE_TR_FUNCTIONS(StoreNotifications)

public:
    explicit StoreNotifications(StoreContext& context);

    // True on the first run, which has no version stored from before.
    [[nodiscard]] bool isFreshInstall() const { return m_isFreshInstall; }

    // Asks for permission when enabled, listens for clicks, and announces an update.
    void start();
    void sendTestNotification();
    void requestNotificationPermissionIfNeeded();
    void notify(const SnapshotDiff& diff);
    void alertIfNeeded(Date now);
    void announceUpdateIfNeeded();

private:
    void post(Notification notification);

    StoreContext& m_context;
    AlertThrottle m_alertThrottle{3600};
    bool m_isFreshInstall = false;
};

}  // namespace tarvik::ui
