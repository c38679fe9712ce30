#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/analysis/Insights.hpp"
#include "core/servers/Probe.hpp"

namespace tarvik {
struct MemoryUsage;
struct SystemVitals;
enum class MemoryPressure;
struct RecentStops;
struct HeatReport;
struct Finding;
struct AppUsage;
struct ServerGroup;
struct DevFootprint;
struct ProjectUsage;
namespace TidyCandidates {
struct Result;
}
}  // namespace tarvik

namespace tarvik::ui {

struct Services;
class StoreContext;
class StoreSettings;
class RefreshCycle;
class StoreActions;
class StoreChecks;
class StoreNotifications;

// The one model the views read. It samples the machine on a timer, keeps every derived result and
// carries out the user's actions, each kind in a part of its own. Its fields change only on the
// thread that owns it; every service call that may block runs through `Background`, its result
// applied back here, and the world outside is reached only through `Services`.
class ServerStore : public QObject {
    Q_OBJECT

public:
    explicit ServerStore(Services services, QObject* parent = nullptr);
    ~ServerStore() override;

    // The parts.
    [[nodiscard]] StoreSettings& settings() const { return *m_settings; }
    [[nodiscard]] StoreActions& actions() const { return *m_actions; }
    [[nodiscard]] StoreChecks& checks() const { return *m_checks; }
    [[nodiscard]] StoreNotifications& notifications() const { return *m_notifications; }

    // What the last refresh saw.
    [[nodiscard]] const std::vector<Server>& servers() const;
    [[nodiscard]] bool hasScanned() const;
    [[nodiscard]] const MemoryUsage& memoryUsage() const;
    [[nodiscard]] std::optional<double> cpuFraction() const;
    [[nodiscard]] const std::map<std::string, HTTPProbe::Outcome>& probeOutcomes() const;
    [[nodiscard]] const RecentStops& recentStops() const;
    [[nodiscard]] const MetricHistory& history() const;
    [[nodiscard]] const std::vector<Insight>& insights() const;
    [[nodiscard]] MemoryPressure memoryPressure() const;
    [[nodiscard]] std::optional<std::uint64_t> dockerVMLimit() const;
    [[nodiscard]] const SystemVitals& vitals() const;
    [[nodiscard]] const ValueHistory& vitalsHistory() const;
    [[nodiscard]] const HeatReport& heat() const;
    [[nodiscard]] const std::vector<Finding>& findings() const;
    [[nodiscard]] const std::vector<AppUsage>& appsAveraged() const;
    [[nodiscard]] const ValueHistory& appHistory() const;
    [[nodiscard]] const IdleTracker& idleTracker() const;
    [[nodiscard]] const ActivityClock& activity() const;
    [[nodiscard]] bool panelIsOpen() const;
    [[nodiscard]] bool dashboardIsOpen() const;
    [[nodiscard]] bool isBeingWatched() const;
    // What the actions left for the views to show.
    [[nodiscard]] const std::optional<std::string>& toast() const;
    [[nodiscard]] const std::set<std::int32_t>& stubbornPids() const;
    [[nodiscard]] const std::set<std::string>& restartingIDs() const;
    [[nodiscard]] const std::string& version() const;
    [[nodiscard]] Date now() const;

    // Derived, computed on every read.
    [[nodiscard]] std::vector<Server> devServers() const;
    [[nodiscard]] std::vector<Server> systemServers() const;
    [[nodiscard]] std::vector<Server> exposedDevServers() const;
    [[nodiscard]] int devServerCount() const;
    [[nodiscard]] std::vector<ServerGroup> groups() const;
    [[nodiscard]] std::optional<IdleSummary> idleSummary() const;
    [[nodiscard]] DevFootprint footprint() const;
    [[nodiscard]] std::vector<ProjectUsage> projectUsage() const;
    [[nodiscard]] TidyCandidates::Result tidy() const;
    [[nodiscard]] std::string userFirstName() const;
    // An unknown kind that answered HTTP when probed counts as HTTP.
    [[nodiscard]] ServiceProtocol serviceProtocol(const Server& server) const;
    // Seconds since the server last used the CPU; nullopt for servers that are never idle.
    [[nodiscard]] std::optional<double> idleSeconds(const Server& server) const;

    // The cycle.
    void startPolling();
    // One refresh; `done` runs once it has been applied.
    void refresh(std::function<void()> done = {});
    void probeServers(std::function<void()> done = {});
    // Opening a view refreshes at once.
    void setPanelIsOpen(bool open);
    void setDashboardIsOpen(bool open);

signals:
    // Once per refresh and per action that changed something, coalesced.
    void changed();
    void toastChanged();
    // A click on the update notification asks for the dashboard's overview.
    void dashboardRequested();
    // A click on a notification of servers starting or stopping asks for the panel.
    void panelRequested();

private:
    std::unique_ptr<StoreContext> m_context;
    std::unique_ptr<StoreSettings> m_settings;
    std::unique_ptr<RefreshCycle> m_cycle;
    std::unique_ptr<StoreActions> m_actions;
    std::unique_ptr<StoreChecks> m_checks;
    std::unique_ptr<StoreNotifications> m_notifications;
};

}  // namespace tarvik::ui
