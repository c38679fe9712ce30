#include "ui/store/StoreNotifications.hpp"

#include <fmt/format.h>
#include <QStringList>
#include <QUuid>
#include <cmath>
#include <unordered_set>

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
    return StoreNotifications::tr("%1 is the main cause. %2").arg(qs(explanation.title), qs(explanation.why));
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

// The key PortMerger gives a process's row: MergedServer::id().
std::string rowKey(const Server& server) {
    return std::to_string(server.pid) + ":" + server.kind.name;
}

// "5173", "5173 and 5174", "5173, 5174 and 5175", "5173, 5174 and 3 more".
QString portList(const std::vector<int>& ports) {
    constexpr qsizetype named = 2;
    QStringList shown;
    for (int port : ports) shown << QString::number(port);
    if (shown.size() == 1) return shown.front();
    if (shown.size() <= named + 1)
        return ServerNotices::tr("%1 and %2").arg(shown.mid(0, shown.size() - 1).join(", "), shown.back());
    return ServerNotices::tr("%1 and %n more", nullptr, static_cast<int>(shown.size() - named))
        .arg(shown.mid(0, named).join(", "));
}

// The first few distinct names, then "…" when there are more.
QString nameList(const std::vector<MergedServer>& servers) {
    constexpr qsizetype named = 3;
    QStringList names;
    for (const auto& server : servers) {
        QString name = qs(server.primary.kind.name);
        if (names.contains(name)) continue;
        if (names.size() == named) {
            names << QStringLiteral("…");
            break;
        }
        names << name;
    }
    return names.join(", ");
}

}  // namespace

std::vector<Notification> ServerNotices::take(const SnapshotDiff& diff, const std::vector<Server>& after,
                                              Date now) {
    auto started = PortMerger::merge(diff.devStarted());
    auto stopped = PortMerger::merge(diff.devStopped());
    std::vector<Notification> out;
    if (started.empty() && stopped.empty() && m_started.held.empty() && m_stopped.held.empty()) return out;

    std::unordered_set<std::string> startedIds, before, listening;
    for (const auto& server : diff.started) startedIds.insert(server.id());
    for (const auto& server : diff.stopped) before.insert(rowKey(server));
    for (const auto& server : after) {
        listening.insert(rowKey(server));
        if (!startedIds.contains(server.id())) before.insert(rowKey(server));
    }
    std::erase_if(started, [&](const MergedServer& row) { return before.contains(row.id()); });
    std::erase_if(stopped, [&](const MergedServer& row) { return listening.contains(row.id()); });
    take(m_started, Change::started, std::move(started), now, out);
    take(m_stopped, Change::stopped, std::move(stopped), now, out);
    return out;
}

void ServerNotices::take(Lane& lane, Change change, std::vector<MergedServer> events, Date now,
                         std::vector<Notification>& out) {
    auto single = [change](const MergedServer& server) -> Notification {
        const QString name = qs(server.primary.kind.name);
        const QString ports = portList(server.ports);
        if (change == Change::started)
            return {tr("%1 is up").arg(name).toStdString(),
                    tr("Listening on localhost:%1").arg(ports).toStdString(), "start-" + server.primary.id()};
        return {tr("%1 stopped").arg(name).toStdString(),
                (server.ports.size() == 1 ? tr("Port %1 is free again") : tr("Ports %1 are free again"))
                    .arg(ports)
                    .toStdString(),
                "stop-" + server.primary.id()};
    };
    while (!lane.posted.empty() && secondsBetween(lane.posted.front(), now) >= window)
        lane.posted.pop_front();
    const bool rollUpDue = !lane.lastRollUp || secondsBetween(*lane.lastRollUp, now) >= window;
    if (lane.held.empty() && rollUpDue && lane.posted.size() + events.size() <= mostSingles) {
        for (const auto& server : events) out.push_back(single(server));
        lane.posted.insert(lane.posted.end(), events.size(), now);
        return;
    }
    // Held events fold into the next roll-up instead of being dropped: a server that crashed in the
    // middle of a storm is still counted and named, and the count says how hard the churn goes. It
    // says "started" rather than "up", as some of them may be gone again by then.
    lane.held.insert(lane.held.end(), std::make_move_iterator(events.begin()),
                     std::make_move_iterator(events.end()));
    if (lane.held.empty() || !rollUpDue) return;
    const int count = static_cast<int>(lane.held.size());
    const auto& first = lane.held.front();
    if (count == 1)
        out.push_back(single(first));
    else if (change == Change::started)
        out.push_back({tr("%n dev servers started", nullptr, count).toStdString(),
                       nameList(lane.held).toStdString(), "starts-" + first.primary.id()});
    else
        out.push_back({tr("%n dev servers stopped", nullptr, count).toStdString(),
                       nameList(lane.held).toStdString(), "stops-" + first.primary.id()});
    lane.lastRollUp = now;
    lane.held.clear();
}

StoreNotifications::StoreNotifications(StoreContext& context) : m_context(context) {}

void StoreNotifications::start() {
    auto& notifier = *m_context.services.notifier;
    if (m_context.settings->notificationsEnabled() && notifier.available())
        notifier.requestAuthorization([](bool, std::optional<std::string>) {});
    notifier.onClick([this](const std::string& identifier) {
        if (identifier.starts_with("updated-")) emit m_context.store.dashboardRequested();
        for (const char* server : {"start-", "stop-", "starts-", "stops-"})
            if (identifier.starts_with(server)) emit m_context.store.panelRequested();
    });
    announceUpdateIfNeeded();
}

void StoreNotifications::post(Notification notification) {
    if (!m_context.services.notifier->available()) return;
    m_context.services.notifier->post(notification, [](std::optional<std::string>) {});
}

void StoreNotifications::notify(const SnapshotDiff& diff, const std::vector<Server>& after, Date now) {
    for (auto& notice : m_serverNotices.take(diff, after, now)) post(std::move(notice));
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
