#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/Diagnosis.hpp"
#include "core/analysis/HeatReport.hpp"
#include "core/analysis/IdleTracker.hpp"
#include "core/analysis/Insights.hpp"
#include "core/analysis/MetricHistory.hpp"
#include "core/analysis/VitalsRecorder.hpp"
#include "core/servers/DevFootprint.hpp"
#include "core/servers/ServerGroup.hpp"
#include "core/servers/StopAction.hpp"
#include "ui/Services.hpp"

namespace tarvik::ui {

class StoreContext;

// The servers and the machine as the last refresh saw them, what is derived from them, and the
// timer that refreshes them.
class RefreshCycle {
public:
    static constexpr double busyPause = 3;  // seconds between refreshes while a view shows
    static constexpr double idlePause = 8;
    // With no view open, a refresh whose listeners are those of the last look samples the machine
    // only this often: the tray and the alerts need no more, and a sample costs a whole /proc walk.
    static constexpr double unwatchedSamplePause = 32;
    static constexpr double probeTimeout = 1.0;

    explicit RefreshCycle(StoreContext& context);

    [[nodiscard]] const std::vector<Server>& servers() const { return m_servers; }
    [[nodiscard]] bool hasScanned() const { return m_hasScanned; }
    [[nodiscard]] const MemoryUsage& memoryUsage() const { return m_memoryUsage; }
    [[nodiscard]] std::optional<double> cpuFraction() const { return m_cpuFraction; }
    [[nodiscard]] const std::map<std::string, HTTPProbe::Outcome>& probeOutcomes() const {
        return m_probeOutcomes;
    }
    [[nodiscard]] const RecentStops& recentStops() const { return m_recentStops; }
    [[nodiscard]] const MetricHistory& history() const { return m_history; }
    [[nodiscard]] const std::vector<Insight>& insights() const { return m_insights; }
    [[nodiscard]] MemoryPressure memoryPressure() const { return m_memoryPressure; }
    [[nodiscard]] std::optional<std::uint64_t> dockerVMLimit() const { return m_dockerVMLimit; }
    [[nodiscard]] const SystemVitals& vitals() const { return m_vitals; }
    [[nodiscard]] const VitalsRecorder& recorder() const { return m_recorder; }
    [[nodiscard]] const HeatReport& heat() const { return m_heat; }
    [[nodiscard]] const std::vector<Finding>& findings() const { return m_findings; }
    [[nodiscard]] const std::vector<AppUsage>& appsAveraged() const { return m_appsAveraged; }
    [[nodiscard]] const IdleTracker& idleTracker() const { return m_idleTracker; }
    [[nodiscard]] const ActivityClock& activity() const { return m_activity; }
    [[nodiscard]] bool panelIsOpen() const { return m_panelIsOpen; }
    [[nodiscard]] bool dashboardIsOpen() const { return m_dashboardIsOpen; }
    [[nodiscard]] bool isBeingWatched() const { return m_panelIsOpen || m_dashboardIsOpen; }

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
    [[nodiscard]] ServiceProtocol serviceProtocol(const Server& server) const;
    [[nodiscard]] std::optional<double> idleSeconds(const Server& server) const;

    void startPolling();
    void refresh(std::function<void()> done = {});
    void probeServers(std::function<void()> done = {});
    void setPanelIsOpen(bool open);
    void setDashboardIsOpen(bool open);

private:
    void loop();
    void apply(const std::vector<Server>& before, SamplingResult result, std::function<void()> done);
    void finishRefresh(const SnapshotDiff& diff, std::function<void()> done);
    void recordVitals(const SystemVitals& sample, Date now);
    void recordHistory(const std::vector<Server>& servers, Date now);

    StoreContext& m_context;
    std::vector<Server> m_servers;
    bool m_hasScanned = false;
    MemoryUsage m_memoryUsage;
    std::optional<double> m_cpuFraction;
    std::map<std::string, HTTPProbe::Outcome> m_probeOutcomes;
    RecentStops m_recentStops;
    MetricHistory m_history{3600};
    std::vector<Insight> m_insights;
    MemoryPressure m_memoryPressure = MemoryPressure::normal;
    std::optional<std::uint64_t> m_dockerVMLimit;
    SystemVitals m_vitals;
    VitalsRecorder m_recorder;  // the vitals and app histories
    HeatReport m_heat;
    std::vector<Finding> m_findings;
    std::vector<AppUsage> m_appsAveraged;
    IdleTracker m_idleTracker{1.0, 3};
    ActivityClock m_activity{1.0};
    bool m_panelIsOpen = false;
    bool m_dashboardIsOpen = false;
    bool m_polling = false;
    std::optional<Scheduler::Handle> m_loopTask;
    std::optional<Date> m_lastSample;
    std::optional<std::uint64_t> m_listeners;  // as the last look found them
};

}  // namespace tarvik::ui
