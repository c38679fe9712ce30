#include "ui/ServerStore.hpp"

#include "ui/store/RefreshCycle.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/store/StoreChecks.hpp"
#include "ui/store/StoreContext.hpp"
#include "ui/store/StoreNotifications.hpp"
#include "ui/store/StoreSettings.hpp"

namespace tarvik::ui {

ServerStore::ServerStore(Services services, QObject* parent)
    : QObject(parent), m_context(std::make_unique<StoreContext>(std::move(services), *this)) {
    m_settings = std::make_unique<StoreSettings>(*m_context);
    m_cycle = std::make_unique<RefreshCycle>(*m_context);
    m_actions = std::make_unique<StoreActions>(*m_context);
    m_checks = std::make_unique<StoreChecks>(*m_context);
    m_notifications = std::make_unique<StoreNotifications>(*m_context);
    m_context->settings = m_settings.get();
    m_context->cycle = m_cycle.get();
    m_context->actions = m_actions.get();
    m_context->checks = m_checks.get();
    m_context->notifications = m_notifications.get();
}

ServerStore::~ServerStore() {
    // Work still running off this thread uses the other services and the parts; it ends before
    // they go.
    m_context->services.background.reset();
}

const std::vector<Server>& ServerStore::servers() const {
    return m_cycle->servers();
}

bool ServerStore::hasScanned() const {
    return m_cycle->hasScanned();
}

const MemoryUsage& ServerStore::memoryUsage() const {
    return m_cycle->memoryUsage();
}

std::optional<double> ServerStore::cpuFraction() const {
    return m_cycle->cpuFraction();
}

const std::map<std::string, HTTPProbe::Outcome>& ServerStore::probeOutcomes() const {
    return m_cycle->probeOutcomes();
}

const RecentStops& ServerStore::recentStops() const {
    return m_cycle->recentStops();
}

const MetricHistory& ServerStore::history() const {
    return m_cycle->history();
}

const std::vector<Insight>& ServerStore::insights() const {
    return m_cycle->insights();
}

MemoryPressure ServerStore::memoryPressure() const {
    return m_cycle->memoryPressure();
}

std::optional<std::uint64_t> ServerStore::dockerVMLimit() const {
    return m_cycle->dockerVMLimit();
}

const SystemVitals& ServerStore::vitals() const {
    return m_cycle->vitals();
}

const ValueHistory& ServerStore::vitalsHistory() const {
    return m_cycle->recorder().vitals;
}

const HeatReport& ServerStore::heat() const {
    return m_cycle->heat();
}

const std::vector<Finding>& ServerStore::findings() const {
    return m_cycle->findings();
}

const std::vector<AppUsage>& ServerStore::appsAveraged() const {
    return m_cycle->appsAveraged();
}

const ValueHistory& ServerStore::appHistory() const {
    return m_cycle->recorder().apps;
}

const IdleTracker& ServerStore::idleTracker() const {
    return m_cycle->idleTracker();
}

const ActivityClock& ServerStore::activity() const {
    return m_cycle->activity();
}

bool ServerStore::panelIsOpen() const {
    return m_cycle->panelIsOpen();
}

bool ServerStore::dashboardIsOpen() const {
    return m_cycle->dashboardIsOpen();
}

bool ServerStore::isBeingWatched() const {
    return m_cycle->isBeingWatched();
}

const std::optional<std::string>& ServerStore::toast() const {
    return m_actions->toast();
}

const std::set<std::int32_t>& ServerStore::stubbornPids() const {
    return m_actions->stubbornPids();
}

const std::set<std::string>& ServerStore::restartingIDs() const {
    return m_actions->restartingIDs();
}

const std::string& ServerStore::version() const {
    return m_context->services.version;
}

Date ServerStore::now() const {
    return m_context->now();
}

std::vector<Server> ServerStore::devServers() const {
    return m_cycle->devServers();
}

std::vector<Server> ServerStore::systemServers() const {
    return m_cycle->systemServers();
}

std::vector<Server> ServerStore::exposedDevServers() const {
    return m_cycle->exposedDevServers();
}

int ServerStore::devServerCount() const {
    return m_cycle->devServerCount();
}

std::vector<ServerGroup> ServerStore::groups() const {
    return m_cycle->groups();
}

std::optional<IdleSummary> ServerStore::idleSummary() const {
    return m_cycle->idleSummary();
}

DevFootprint ServerStore::footprint() const {
    return m_cycle->footprint();
}

std::vector<ProjectUsage> ServerStore::projectUsage() const {
    return m_cycle->projectUsage();
}

TidyCandidates::Result ServerStore::tidy() const {
    return m_cycle->tidy();
}

std::string ServerStore::userFirstName() const {
    auto name = m_context->services.desktop->userFullName();
    name = name.substr(0, name.find(' '));
    for (std::string_view suffix : {"'s", "\u2019s"})
        if (name.ends_with(suffix)) {
            name.resize(name.size() - suffix.size());
            break;
        }
    return name.empty() ? tr("there").toStdString() : name;
}

ServiceProtocol ServerStore::serviceProtocol(const Server& server) const {
    return m_cycle->serviceProtocol(server);
}

std::optional<double> ServerStore::idleSeconds(const Server& server) const {
    return m_cycle->idleSeconds(server);
}

void ServerStore::startPolling() {
    m_cycle->startPolling();
}

void ServerStore::refresh(std::function<void()> done) {
    m_cycle->refresh(std::move(done));
}

void ServerStore::probeServers(std::function<void()> done) {
    m_cycle->probeServers(std::move(done));
}

void ServerStore::setPanelIsOpen(bool open) {
    m_cycle->setPanelIsOpen(open);
}

void ServerStore::setDashboardIsOpen(bool open) {
    m_cycle->setDashboardIsOpen(open);
}

}  // namespace tarvik::ui
