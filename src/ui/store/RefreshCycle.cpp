#include "ui/store/RefreshCycle.hpp"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "core/analysis/DoctorReport.hpp"
#include "ui/ServerStore.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/store/StoreContext.hpp"
#include "ui/store/StoreNotifications.hpp"
#include "ui/store/StoreSettings.hpp"

namespace tarvik::ui {

namespace {

bool isDev(const Server& server) {
    return server.category == ServerCategory::dev;
}

bool isContainer(const Server& server) {
    return server.containerName.has_value();
}

}  // namespace

RefreshCycle::RefreshCycle(StoreContext& context) : m_context(context) {}

// Derived values.

std::vector<Server> RefreshCycle::devServers() const {
    std::vector<Server> result;
    std::copy_if(m_servers.begin(), m_servers.end(), std::back_inserter(result), isDev);
    return result;
}

std::vector<Server> RefreshCycle::systemServers() const {
    std::vector<Server> result;
    std::copy_if(m_servers.begin(), m_servers.end(), std::back_inserter(result),
                 [](const Server& server) { return !isDev(server); });
    return result;
}

std::vector<Server> RefreshCycle::exposedDevServers() const {
    std::vector<Server> result;
    for (auto& server : devServers())
        if (server.isExposedToNetwork()) result.push_back(std::move(server));
    return result;
}

int RefreshCycle::devServerCount() const {
    return ServerGrouper::rowCount(devServers());
}

std::vector<ServerGroup> RefreshCycle::groups() const {
    auto groups = ServerGrouper::groups(m_servers);
    if (!m_context.settings->showSystemServers())
        std::erase_if(groups, [](const ServerGroup& group) { return group.isSystem(); });
    return groups;
}

std::optional<IdleSummary> RefreshCycle::idleSummary() const {
    for (const auto& insight : m_insights)
        if (const auto* idle = std::get_if<Insights::Idle>(&insight)) return idle->summary;
    return std::nullopt;
}

DevFootprint RefreshCycle::footprint() const {
    return DevFootprint::from(m_servers, m_memoryUsage.usedBytes, m_memoryUsage.totalBytes);
}

std::vector<ProjectUsage> RefreshCycle::projectUsage() const {
    return ProjectUsage::from(devServers());
}

TidyCandidates::Result RefreshCycle::tidy() const {
    return TidyCandidates::evaluate(
        m_servers, [this](std::int32_t pid) { return m_idleTracker.isIdle(pid); },
        [this](const Server& server) { return m_context.actions->canStop(server); });
}

ServiceProtocol RefreshCycle::serviceProtocol(const Server& server) const {
    auto probe = m_probeOutcomes.find(server.id());
    return ServiceProtocols::of(server, probe == m_probeOutcomes.end()
                                            ? std::nullopt
                                            : std::optional<HTTPProbe::Outcome>(probe->second));
}

std::optional<double> RefreshCycle::idleSeconds(const Server& server) const {
    if (!isDev(server) || isContainer(server) ||
        std::holds_alternative<ServiceProtocols::Database>(ServiceProtocols::of(server)))
        return std::nullopt;
    return m_activity.idleSeconds(ActivityClock::key(server.pid), m_context.now());
}

// The cycle.

void RefreshCycle::startPolling() {
    if (m_polling) return;
    m_polling = true;
    m_context.notifications->start();
    loop();
}

void RefreshCycle::loop() {
    auto next = [this] {
        m_loopTask = m_context.after(isBeingWatched() ? busyPause : idlePause, [this] { loop(); });
    };
    if (isBeingWatched() || !m_lastSample ||
        secondsBetween(*m_lastSample, m_context.now()) >= unwatchedSamplePause) {
        refresh(next);
        return;
    }
    auto* sampling = m_context.services.sampling.get();
    m_context.inBackground<std::optional<std::uint64_t>>(
        [sampling] { return sampling->listenersFingerprint(); },
        [this, next](std::optional<std::uint64_t> listeners) {
            const bool same = listeners && listeners == m_listeners;
            m_listeners = listeners;
            if (same && !isBeingWatched()) return next();
            refresh(next);
        });
}

void RefreshCycle::refresh(std::function<void()> done) {
    auto* sampling = m_context.services.sampling.get();
    m_context.inBackground<SamplingResult>(
        [sampling] { return sampling->sample(); },
        [this, before = m_servers, done = std::move(done)](SamplingResult result) mutable {
            apply(before, std::move(result), std::move(done));
        });
}

void RefreshCycle::apply(const std::vector<Server>& before, SamplingResult result,
                         std::function<void()> done) {
    SnapshotDiff diff(before, result.servers);
    const Date at = m_context.now();
    m_lastSample = at;
    m_servers = std::move(result.servers);
    // One figure of used memory everywhere: the vitals' own where the sample has them.
    const MemoryUsage memory = result.vitals.memory ? result.vitals.memory->usage() : result.memory;
    if (m_memoryUsage != memory) m_memoryUsage = memory;
    m_vitals = std::move(result.vitals);
    std::optional<double> cpu;
    if (m_vitals.cpu) cpu = m_vitals.cpu->busy;
    if (m_cpuFraction != cpu) m_cpuFraction = cpu;
    if (m_memoryPressure != result.pressure) m_memoryPressure = result.pressure;
    recordVitals(m_vitals, at);
    if (m_dockerVMLimit != result.dockerVMLimit) m_dockerVMLimit = result.dockerVMLimit;
    recordHistory(m_servers, at);
    m_insights = Insights::evaluate(m_servers, m_history, m_activity, at, InsightRules{});
    if (m_hasScanned) m_context.notifications->alertIfNeeded(at);

    std::unordered_map<std::int32_t, double> cpuByPid;
    std::set<std::int32_t> pids;
    for (const auto& server : m_servers) {
        double& value = cpuByPid[server.pid];
        value = std::max(value, server.cpuPercent.value_or(0));
        pids.insert(server.pid);
    }
    m_idleTracker.record(cpuByPid);
    m_context.actions->forgetStubborn(pids);
    m_recentStops.record(diff.stopped, at);
    for (const auto& server : diff.started) m_recentStops.removeMatching(server.port);

    if (m_panelIsOpen) {
        probeServers([this, diff = std::move(diff), done = std::move(done)]() mutable {
            finishRefresh(diff, std::move(done));
        });
        return;
    }
    finishRefresh(diff, std::move(done));
}

void RefreshCycle::finishRefresh(const SnapshotDiff& diff, std::function<void()> done) {
    // Every refresh, as a roll-up held back by its minute falls due even when nothing changed.
    if (!m_context.settings->notificationsEnabled())
        m_context.notifications->forgetServers();
    else if (m_hasScanned)
        m_context.notifications->notify(diff, m_servers, m_context.now());
    m_hasScanned = true;
    m_context.markChanged();
    if (done) done();
}

void RefreshCycle::recordVitals(const SystemVitals& sample, Date at) {
    m_appsAveraged = m_recorder.record(sample, m_memoryUsage, m_servers, at);
    auto report = DoctorReport::assemble(m_recorder, sample, m_appsAveraged, m_memoryPressure, at);
    m_heat = report.heat();
    m_findings = std::move(report.findings);
}

void RefreshCycle::recordHistory(const std::vector<Server>& servers, Date at) {
    std::vector<Server> own;
    for (const auto& server : servers)
        if (isDev(server) && !isContainer(server)) own.push_back(server);
    std::unordered_set<std::string> keys{std::string(MetricHistory::systemKey)};
    std::unordered_map<std::string, double> cpuByKey;
    for (const auto& merged : PortMerger::merge(own)) {
        const auto& server = merged.primary;
        auto key = MetricHistory::key(server.pid);
        m_history.record(key, {at, server.memoryBytes.value_or(0), server.cpuPercent.value_or(0)});
        keys.insert(key);
        cpuByKey[ActivityClock::key(server.pid)] = server.cpuPercent.value_or(0);
    }
    m_history.record(std::string(MetricHistory::systemKey),
                     {at, m_memoryUsage.usedBytes, m_cpuFraction.value_or(0) * 100});
    m_history.retain(keys);
    m_activity.record(cpuByKey, at);
}

void RefreshCycle::probeServers(std::function<void()> done) {
    std::vector<Server> targets;
    for (auto& server : devServers())
        if (!std::holds_alternative<ServiceProtocols::Database>(ServiceProtocols::of(server)))
            targets.push_back(std::move(server));
    if (targets.empty()) {
        if (done) done();
        return;
    }
    auto remaining = std::make_shared<std::size_t>(targets.size());
    auto finished = std::make_shared<std::function<void()>>(std::move(done));
    auto* prober = m_context.services.prober.get();
    for (const auto& server : targets) {
        m_context.inBackground<HTTPProbe::Outcome>(
            [prober, port = server.port] { return prober->probe(port, probeTimeout); },
            [this, id = server.id(), remaining, finished](HTTPProbe::Outcome outcome) {
                m_probeOutcomes.insert_or_assign(id, outcome);
                m_context.markChanged();
                if (--*remaining == 0 && *finished) (*finished)();
            });
    }
}

void RefreshCycle::setPanelIsOpen(bool open) {
    bool opened = open && !m_panelIsOpen;
    m_panelIsOpen = open;
    m_context.markChanged();
    if (opened && m_polling) refresh();
}

void RefreshCycle::setDashboardIsOpen(bool open) {
    bool opened = open && !m_dashboardIsOpen;
    m_dashboardIsOpen = open;
    m_context.markChanged();
    if (opened && m_polling) refresh();
}

}  // namespace tarvik::ui
