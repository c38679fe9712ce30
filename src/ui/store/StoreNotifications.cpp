#include "ui/store/StoreNotifications.hpp"

#include <fmt/format.h>
#include <QUuid>
#include <cmath>

#include "core/analysis/AppExplainer.hpp"
#include "core/servers/StopAction.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ShownText.hpp"
#include "ui/store/RefreshCycle.hpp"
#include "ui/store/StoreContext.hpp"
#include "ui/store/StoreSettings.hpp"

namespace tarvik::ui {

namespace {

std::string rounded(double value) {
    return fmt::format("{}", static_cast<long long>(std::round(value)));
}

std::string randomIdentifier() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

QString mainCause(const HeatReport& heat) {
    if (heat.causes.empty())
        return StoreNotifications::tr("No single app stands out; several are sharing the work.");
    if (const auto* charging = std::get_if<HeatCauses::Charging>(&heat.causes.front()))
        return StoreNotifications::tr("Fast charging (%1 W into the battery) is the main cause.")
            .arg(QString::fromStdString(rounded(charging->watts)));
    auto explanation = AppExplainer::explain(std::get<HeatCauses::App>(heat.causes.front()).usage);
    return StoreNotifications::tr("%1 is the main cause. %2")
        .arg(qs(explanation.title), QString::fromStdString(explanation.why));
}

// The heat alert's body: the chip's temperature when known, then the main cause.
QString heatBody(const HeatReport& heat) {
    QString body = mainCause(heat);
    if (heat.chipCelsius)
        body = StoreNotifications::tr("The chip is at %1 °C.")
                   .arg(QString::fromStdString(rounded(*heat.chipCelsius))) +
               ' ' + body;
    return body;
}

}  // namespace

StoreNotifications::StoreNotifications(StoreContext& context) : m_context(context) {}

void StoreNotifications::start() {
    auto& notifier = *m_context.services.notifier;
    if (m_context.settings->notificationsEnabled() && notifier.available())
        notifier.requestAuthorization([](bool, std::optional<std::string>) {});
    notifier.onClick([this](const std::string& identifier) {
        if (identifier.starts_with("updated-")) emit m_context.store.dashboardRequested();
    });
    announceUpdateIfNeeded();
}

void StoreNotifications::post(Notification notification) {
    if (!m_context.services.notifier->available()) return;
    m_context.services.notifier->post(notification, [](std::optional<std::string>) {});
}

void StoreNotifications::notify(const SnapshotDiff& diff) {
    for (const auto& server : diff.devStarted())
        post({tr("%1 is up").arg(qs(server.kind.name)).toStdString(),
              tr("Listening on localhost:%1").arg(server.port).toStdString(), "start-" + server.id()});
    for (const auto& server : diff.devStopped())
        post({tr("%1 stopped").arg(qs(server.kind.name)).toStdString(),
              tr("Port %1 is free again").arg(server.port).toStdString(), "stop-" + server.id()});
}

void StoreNotifications::alertIfNeeded(Date at) {
    if (!m_context.settings->notificationsEnabled()) return;
    // Asking the session bus costs a round trip, so it is asked only once an alert is due; an alert
    // that cannot be shown is not counted against its hour.
    std::optional<bool> reachable;
    auto due = [&](bool wanted, const std::string& key) {
        if (!wanted) return false;
        if (!reachable) reachable = m_context.services.notifier->available();
        return *reachable && m_alertThrottle.shouldFire(key, at);
    };
    const auto& heat = m_context.cycle->heat();
    const bool hot = heat.level == HeatLevel::hot || heat.level == HeatLevel::critical;
    if (due(m_context.settings->alertOnHeat() && hot, "heat")) {
        post({(heat.level == HeatLevel::critical ? tr("Your computer is very hot")
                                                 : tr("Your computer is running hot"))
                  .toStdString(),
              heatBody(heat).toStdString(), "heat-" + randomIdentifier()});
    }
    for (const auto& insight : m_context.cycle->insights()) {
        if (const auto* hog = std::get_if<Insights::CpuHog>(&insight)) {
            if (!due(m_context.settings->alertOnHighCPU(), "cpu:" + std::to_string(hog->server.pid)))
                continue;
            post({tr("%1 is keeping the CPU busy").arg(qs(Insights::displayName(hog->server))).toStdString(),
                  tr("%1% on average for %n minutes.", nullptr, hog->minutes)
                      .arg(QString::fromStdString(rounded(hog->averagePercent)))
                      .toStdString(),
                  "insight-" + randomIdentifier()});
        } else if (const auto* growth = std::get_if<Insights::MemoryGrowth>(&insight)) {
            if (!due(m_context.settings->alertOnMemoryGrowth(),
                     "growth:" + std::to_string(growth->server.pid)))
                continue;
            auto current = growth->server.memoryBytes ? ByteFormat::short_(*growth->server.memoryBytes) : "";
            post({tr("%1 keeps using more memory")
                      .arg(qs(Insights::displayName(growth->server)))
                      .toStdString(),
                  tr("Up %1 in %n minutes, now %2.", nullptr, growth->minutes)
                      .arg(QString::fromStdString(ByteFormat::short_(growth->deltaBytes)),
                           QString::fromStdString(current))
                      .toStdString(),
                  "insight-" + randomIdentifier()});
        }
    }
}

void StoreNotifications::announceUpdateIfNeeded() {
    if (!m_context.services.notifier->available()) return;
    const auto& current = m_context.services.version;
    auto stored = m_context.services.settings->value("lastRunVersion");
    std::optional<std::string> last;
    if (stored.typeId() == QMetaType::QString) last = stored.toString().toStdString();
    m_context.services.settings->setValue("lastRunVersion", QString::fromStdString(current));
    m_isFreshInstall = !last;
    if (!last || *last == current || !Version::isNewer(current, *last)) return;
    if (m_context.settings->notificationsEnabled())
        post({tr("Tarvik updated to %1").arg(QString::fromStdString(current)).toStdString(),
              tr("New: the Tarvik window, with everything your computer is doing. Click to open it.")
                  .toStdString(),
              "updated-" + current});
}

void StoreNotifications::requestNotificationPermissionIfNeeded() {
    if (m_context.services.notifier->authorization() == Authorization::notDetermined)
        m_context.services.notifier->requestAuthorization([](bool, std::optional<std::string>) {});
}

void StoreNotifications::sendTestNotification() {
    auto& notifier = *m_context.services.notifier;
    if (notifier.authorization() == Authorization::denied) {
        m_context.services.desktop->openSettings(SettingsPanel::notifications);
        return;
    }
    notifier.requestAuthorization([&notifier](bool granted, std::optional<std::string> error) {
        if (error) logFailure("Tarvik: notification auth error: " + *error);
        if (!granted) return;
        notifier.post({tr("Tarvik notifications work").toStdString(),
                       tr("You'll hear about dev servers starting and stopping.").toStdString(),
                       "test-" + randomIdentifier(), true},
                      [](std::optional<std::string> failure) {
                          if (failure) logFailure("Tarvik: notification post error: " + *failure);
                      });
    });
}

}  // namespace tarvik::ui
