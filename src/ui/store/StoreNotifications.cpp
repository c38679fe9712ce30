#include "ui/store/StoreNotifications.hpp"

#include <fmt/format.h>
#include <QUuid>
#include <cmath>

#include "core/analysis/AppExplainer.hpp"
#include "core/servers/StopAction.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
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

// The heat alert's body: the chip's temperature when known, then the main cause.
std::string heatBody(const HeatReport& heat) {
    std::string body;
    if (heat.chipCelsius) body = "The chip is at " + rounded(*heat.chipCelsius) + " °C. ";
    if (heat.causes.empty()) return body + "No single app stands out; several are sharing the work.";
    if (const auto* charging = std::get_if<HeatCauses::Charging>(&heat.causes.front()))
        return body + "Fast charging (" + rounded(charging->watts) +
               " W into the battery) is the main cause.";
    auto explanation = AppExplainer::explain(std::get<HeatCauses::App>(heat.causes.front()).usage);
    return body + explanation.title + " is the main cause. " + explanation.why;
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
        post({server.kind.name + " is up", "Listening on localhost:" + std::to_string(server.port),
              "start-" + server.id()});
    for (const auto& server : diff.devStopped())
        post({server.kind.name + " stopped", "Port " + std::to_string(server.port) + " is free again",
              "stop-" + server.id()});
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
        post({(heat.level == HeatLevel::critical ? "Your computer is very hot"
                                                 : "Your computer is running hot"),
              heatBody(heat), "heat-" + randomIdentifier()});
    }
    for (const auto& insight : m_context.cycle->insights()) {
        if (const auto* hog = std::get_if<Insights::CpuHog>(&insight)) {
            if (!due(m_context.settings->alertOnHighCPU(), "cpu:" + std::to_string(hog->server.pid)))
                continue;
            post({Insights::displayName(hog->server) + " is keeping the CPU busy",
                  rounded(hog->averagePercent) + "% on average for " + std::to_string(hog->minutes) +
                      " minutes.",
                  "insight-" + randomIdentifier()});
        } else if (const auto* growth = std::get_if<Insights::MemoryGrowth>(&insight)) {
            if (!due(m_context.settings->alertOnMemoryGrowth(),
                     "growth:" + std::to_string(growth->server.pid)))
                continue;
            auto current = growth->server.memoryBytes ? ByteFormat::short_(*growth->server.memoryBytes) : "";
            post({Insights::displayName(growth->server) + " keeps using more memory",
                  "Up " + ByteFormat::short_(growth->deltaBytes) + " in " + std::to_string(growth->minutes) +
                      " minutes, now " + current + ".",
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
        post({"Tarvik updated to " + current,
              "New: the Tarvik window, with everything your computer is doing. Click to open it.",
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
        notifier.post({"Tarvik notifications work", "You'll hear about dev servers starting and stopping.",
                       "test-" + randomIdentifier(), true},
                      [](std::optional<std::string> failure) {
                          if (failure) logFailure("Tarvik: notification post error: " + *failure);
                      });
    });
}

}  // namespace tarvik::ui
