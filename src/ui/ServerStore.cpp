#include "ui/ServerStore.hpp"

#include <fmt/format.h>
#include <syslog.h>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <unordered_map>
#include <unordered_set>

#include "core/analysis/AppExplainer.hpp"
#include "core/analysis/DoctorReport.hpp"
#include "core/servers/StopReport.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/Text.hpp"

namespace tarvik::ui {

namespace {

// Failures of what the user asked the desktop for go to the system log, and nowhere else.
void logFailure(const std::string& message) {
    syslog(LOG_WARNING, "%s", message.c_str());
}

std::chrono::milliseconds milliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::llround(seconds * 1000)));
}

bool isDev(const Server& server) {
    return server.category == ServerCategory::dev;
}

bool isContainer(const Server& server) {
    return server.containerName.has_value();
}

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

std::vector<AppTraffic> AppTraffic::group(const std::vector<ProcessTraffic>& traffic,
                                          const std::vector<AppUsage>& apps) {
    std::unordered_map<std::int32_t, std::size_t> appOfPid;
    for (std::size_t i = 0; i < apps.size(); ++i)
        for (auto pid : apps[i].pids) appOfPid.emplace(pid, i);
    std::vector<AppTraffic> rows;
    std::unordered_map<std::size_t, std::size_t> rowOfApp;
    for (const auto& process : traffic) {
        auto app = appOfPid.find(process.pid);
        if (app == appOfPid.end()) {
            rows.push_back({std::nullopt, process.name, double(process.bytesIn), double(process.bytesOut)});
            continue;
        }
        auto [row, added] = rowOfApp.emplace(app->second, rows.size());
        if (added) rows.push_back({apps[app->second], apps[app->second].name, 0, 0});
        rows[row->second].bytesIn += double(process.bytesIn);
        rows[row->second].bytesOut += double(process.bytesOut);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const AppTraffic& a, const AppTraffic& b) {
        return a.bytesIn + a.bytesOut > b.bytesIn + b.bytesOut;
    });
    return rows;
}

ServerStore::ServerStore(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {
    readSettings();
    m_launchAtLogin = m_services.loginItem->isEnabled();
}

ServerStore::ServerStore(Services services, PreviewData preview, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {
    m_isPreview = true;
    m_servers = std::move(preview.servers);
    m_hasScanned = preview.scanned;
    m_memoryUsage = preview.memory;
    m_cpuFraction = preview.cpu;
}

ServerStore::~ServerStore() {
    // Work still running off this thread uses the other services; it ends before they go.
    m_services.background.reset();
}

void ServerStore::readSettings() {
    const auto& settings = *m_services.settings;
    auto boolean = [&](const char* key, bool fallback) {
        auto value = settings.value(key);
        return value.typeId() == QMetaType::Bool ? value.toBool() : fallback;
    };
    m_showSystemServers = boolean("showSystemServers", false);
    m_notificationsEnabled = boolean("notificationsEnabled", true);
    m_hasOnboarded = boolean("hasOnboarded", false);
    auto display = settings.value("menuBarDisplay");
    m_menuBarDisplay = display.typeId() == QMetaType::QString
                           ? MenuBarDisplays::fromRawValue(display.toString().toStdString())
                           : MenuBarDisplay::count;
    m_alertOnMemoryGrowth = boolean("alertOnMemoryGrowth", true);
    m_alertOnHighCPU = boolean("alertOnHighCPU", true);
    m_alertOnHeat = boolean("alertOnHeat", true);
}

// Derived values.

std::vector<Server> ServerStore::devServers() const {
    std::vector<Server> result;
    std::copy_if(m_servers.begin(), m_servers.end(), std::back_inserter(result), isDev);
    return result;
}

std::vector<Server> ServerStore::systemServers() const {
    std::vector<Server> result;
    std::copy_if(m_servers.begin(), m_servers.end(), std::back_inserter(result),
                 [](const Server& server) { return !isDev(server); });
    return result;
}

std::vector<Server> ServerStore::exposedDevServers() const {
    std::vector<Server> result;
    for (auto& server : devServers())
        if (server.isExposedToNetwork()) result.push_back(std::move(server));
    return result;
}

int ServerStore::devServerCount() const {
    return ServerGrouper::rowCount(devServers());
}

std::vector<ServerGroup> ServerStore::groups() const {
    auto groups = ServerGrouper::groups(m_servers);
    if (!m_showSystemServers)
        std::erase_if(groups, [](const ServerGroup& group) { return group.isSystem(); });
    return groups;
}

std::optional<IdleSummary> ServerStore::idleSummary() const {
    for (const auto& insight : m_insights)
        if (const auto* idle = std::get_if<Insights::Idle>(&insight)) return idle->summary;
    return std::nullopt;
}

DevFootprint ServerStore::footprint() const {
    return DevFootprint::from(m_servers, m_memoryUsage.usedBytes, m_memoryUsage.totalBytes);
}

std::vector<ProjectUsage> ServerStore::projectUsage() const {
    return ProjectUsage::from(devServers());
}

TidyCandidates::Result ServerStore::tidy() const {
    return TidyCandidates::evaluate(m_servers,
                                    [this](std::int32_t pid) { return m_idleTracker.isIdle(pid); });
}

bool ServerStore::dockerAvailable() const {
    return m_services.control->dockerPath().has_value();
}

std::string ServerStore::userFirstName() const {
    auto name = m_services.desktop->userFullName();
    name = name.substr(0, name.find(' '));
    for (std::string_view suffix : {"'s", "\u2019s"})
        if (name.ends_with(suffix)) {
            name.resize(name.size() - suffix.size());
            break;
        }
    return name.empty() ? "there" : name;
}

ServiceProtocol ServerStore::serviceProtocol(const Server& server) const {
    auto probe = m_probeOutcomes.find(server.id());
    return ServiceProtocols::of(server, probe == m_probeOutcomes.end()
                                            ? std::nullopt
                                            : std::optional<HTTPProbe::Outcome>(probe->second));
}

std::optional<double> ServerStore::idleSeconds(const Server& server) const {
    if (!isDev(server) || isContainer(server) ||
        std::holds_alternative<ServiceProtocols::Database>(ServiceProtocols::of(server)))
        return std::nullopt;
    return m_activity.idleSeconds(ActivityClock::key(server.pid), now());
}

// Plumbing.

template <typename T>
void ServerStore::inBackground(std::function<T()> work, std::function<void(T)> then) {
    auto result = std::make_shared<std::optional<T>>();
    m_services.background->run([result, work = std::move(work)] { result->emplace(work()); },
                               [result, then = std::move(then)] { then(std::move(**result)); });
}

void ServerStore::after(double seconds, std::function<void()> work) {
    m_services.scheduler->after(milliseconds(seconds), std::move(work));
}

void ServerStore::refreshAfter(double seconds, std::function<void()> then) {
    after(seconds, [this, then = std::move(then)]() mutable { refresh(std::move(then)); });
}

void ServerStore::markChanged() {
    if (m_changePending) return;
    m_changePending = true;
    QTimer::singleShot(0, this, [this] {
        m_changePending = false;
        emit changed();
    });
}

// The cycle.

void ServerStore::startPolling() {
    if (m_polling || m_isPreview) return;
    m_polling = true;
    if (m_notificationsEnabled && m_services.notifier->available())
        m_services.notifier->requestAuthorization([](bool, std::optional<std::string>) {});
    m_services.notifier->onClick([this](const std::string& identifier) {
        if (identifier.starts_with("updated-")) emit dashboardRequested();
    });
    announceUpdateIfNeeded();
    loop();
}

void ServerStore::loop() {
    refresh([this] {
        m_loopTask = m_services.scheduler->after(milliseconds(isBeingWatched() ? busyPause : idlePause),
                                                 [this] { loop(); });
    });
}

void ServerStore::refresh(std::function<void()> done) {
    if (m_isPreview) return;
    auto* sampling = m_services.sampling.get();
    inBackground<SamplingResult>(
        [sampling] { return sampling->sample(); },
        [this, before = m_servers, done = std::move(done)](SamplingResult result) mutable {
            apply(before, std::move(result), std::move(done));
        });
}

void ServerStore::apply(const std::vector<Server>& before, SamplingResult result,
                        std::function<void()> done) {
    SnapshotDiff diff(before, result.servers);
    const Date at = now();
    m_servers = std::move(result.servers);
    if (m_memoryUsage != result.memory) m_memoryUsage = result.memory;
    m_vitals = std::move(result.vitals);
    std::optional<double> cpu;
    if (m_vitals.cpu) cpu = m_vitals.cpu->busy;
    if (m_cpuFraction != cpu) m_cpuFraction = cpu;
    if (m_memoryPressure != result.pressure) m_memoryPressure = result.pressure;
    recordVitals(m_vitals, at);
    if (m_dockerVMLimit != result.dockerVMLimit) m_dockerVMLimit = result.dockerVMLimit;
    recordHistory(m_servers, at);
    m_insights = Insights::evaluate(m_servers, m_history, m_activity, at, InsightRules{});
    if (m_hasScanned) alertIfNeeded(at);

    std::unordered_map<std::int32_t, double> cpuByPid;
    std::set<std::int32_t> pids;
    for (const auto& server : m_servers) {
        double& value = cpuByPid[server.pid];
        value = std::max(value, server.cpuPercent.value_or(0));
        pids.insert(server.pid);
    }
    m_idleTracker.record(cpuByPid);
    std::erase_if(m_stubbornPids, [&](std::int32_t pid) { return !pids.contains(pid); });
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

void ServerStore::finishRefresh(const SnapshotDiff& diff, std::function<void()> done) {
    if (m_hasScanned && m_notificationsEnabled && !diff.isEmpty()) notify(diff);
    m_hasScanned = true;
    markChanged();
    if (done) done();
}

void ServerStore::recordVitals(const SystemVitals& sample, Date at) {
    m_appsAveraged = m_recorder.record(sample, m_memoryUsage, m_servers, at);
    auto report = DoctorReport::assemble(m_recorder, sample, m_appsAveraged, m_memoryPressure, at);
    m_heat = report.heat();
    m_findings = std::move(report.findings);
}

void ServerStore::recordHistory(const std::vector<Server>& servers, Date at) {
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

void ServerStore::probeServers(std::function<void()> done) {
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
    auto* prober = m_services.prober.get();
    for (const auto& server : targets) {
        inBackground<HTTPProbe::Outcome>(
            [prober, port = server.port] { return prober->probe(port, probeTimeout); },
            [this, id = server.id(), remaining, finished](HTTPProbe::Outcome outcome) {
                m_probeOutcomes.insert_or_assign(id, outcome);
                markChanged();
                if (--*remaining == 0 && *finished) (*finished)();
            });
    }
}

// Settings.

void ServerStore::writeSetting(const char* key, const QVariant& value) {
    if (!m_isPreview) m_services.settings->setValue(key, value);
    markChanged();
}

void ServerStore::setShowSystemServers(bool value) {
    m_showSystemServers = value;
    writeSetting("showSystemServers", value);
}

void ServerStore::setNotificationsEnabled(bool value) {
    m_notificationsEnabled = value;
    writeSetting("notificationsEnabled", value);
    if (value && m_services.notifier->available())
        m_services.notifier->requestAuthorization([](bool, std::optional<std::string>) {});
}

void ServerStore::setMenuBarDisplay(MenuBarDisplay value) {
    m_menuBarDisplay = value;
    writeSetting("menuBarDisplay", QString::fromUtf8(MenuBarDisplays::rawValue(value).data()));
}

void ServerStore::setAlertOnMemoryGrowth(bool value) {
    m_alertOnMemoryGrowth = value;
    writeSetting("alertOnMemoryGrowth", value);
}

void ServerStore::setAlertOnHeat(bool value) {
    m_alertOnHeat = value;
    writeSetting("alertOnHeat", value);
}

void ServerStore::setAlertOnHighCPU(bool value) {
    m_alertOnHighCPU = value;
    writeSetting("alertOnHighCPU", value);
}

void ServerStore::setHasOnboarded(bool value) {
    m_hasOnboarded = value;
    writeSetting("hasOnboarded", value);
}

void ServerStore::setLaunchAtLogin(bool value) {
    m_launchAtLogin = value;
    markChanged();
    auto& item = *m_services.loginItem;
    if (value == item.isEnabled()) return;
    if (auto error = item.setEnabled(value)) {
        logFailure("Tarvik: launch-at-login toggle failed: " + *error);
        // The switch shows what the desktop will really do.
        setLaunchAtLogin(item.isEnabled());
    }
}

QByteArray ServerStore::dashboardGeometry() const {
    auto value = m_services.settings->value("dashboardGeometry");
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

void ServerStore::setDashboardGeometry(const QByteArray& geometry) {
    if (!m_isPreview) m_services.settings->setValue("dashboardGeometry", geometry);
}

void ServerStore::setPanelIsOpen(bool open) {
    bool opened = open && !m_panelIsOpen;
    m_panelIsOpen = open;
    markChanged();
    if (opened && m_polling) refresh();
}

void ServerStore::setDashboardIsOpen(bool open) {
    bool opened = open && !m_dashboardIsOpen;
    m_dashboardIsOpen = open;
    markChanged();
    if (opened && m_polling) refresh();
}

// Actions.

void ServerStore::checkForUpdates() {
    announce("Tarvik " + m_services.version + " is installed. Updates come with your system's packages.");
}

void ServerStore::announce(const std::string& text) {
    m_toast = text;
    if (m_toastTask) m_services.scheduler->cancel(*m_toastTask);
    m_toastTask = m_services.scheduler->after(milliseconds(toastSeconds), [this] {
        m_toastTask.reset();
        m_toast.reset();
        emit toastChanged();
    });
    emit toastChanged();
}

void ServerStore::open(const Server& server) {
    m_services.desktop->openUrl(server.url());
}

void ServerStore::copyURL(const Server& server) {
    m_services.desktop->copyText(server.url());
}

void ServerStore::copyText(const std::string& text) {
    m_services.desktop->copyText(text);
}

void ServerStore::saveImage(const QByteArray& png) {
    if (png.isEmpty()) return;
    const auto folder = m_services.desktop->downloadsFolder();
    if (!folder) return;
    // Two saves in one second keep both images.
    const std::string first = shareImageName(now());
    const std::string stem = first.substr(0, first.size() - std::string_view(".png").size());
    std::string name;
    QSaveFile file;
    for (int copy = 1; copy <= 99 && name.empty(); ++copy) {
        std::string candidate = stem + (copy == 1 ? "" : " " + std::to_string(copy)) + ".png";
        const QString path = QFile::decodeName(QByteArray::fromStdString(*folder + "/" + candidate));
        if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) {
            name = std::move(candidate);
            file.setFileName(path);
        }
    }
    if (name.empty() || !file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit())
        return;
    announce("Saved " + name + " to Downloads.");
}

void ServerStore::copyImage(const QByteArray& png) {
    if (png.isEmpty() || !m_services.desktop->copyImage(png)) return;
    announce("Image copied. Paste it into a post.");
}

std::string ServerStore::shareImageName(Date now) {
    std::string stamp = isoLocalTime(now);
    std::replace(stamp.begin(), stamp.end(), ':', '.');
    return "Tarvik " + stamp + ".png";
}

void ServerStore::revealDirectory(const Server& server) {
    if (server.cwd) m_services.desktop->reveal(*server.cwd);
}

void ServerStore::reveal(const std::string& path) {
    m_services.desktop->reveal(path);
}

void ServerStore::kill(const Server& server, bool force) {
    auto* control = m_services.control.get();
    inBackground<std::vector<ProcessRow>>(
        [control, server, force] {
            // The processes the stop reaches, as they were before it, to tell afterwards what ended
            // with them.
            std::vector<ProcessRow> signalled;
            if (!isContainer(server)) signalled = StopReport::tree(server.pid, control->processTable());
            control->carryOut(StopActions::of(server, force));
            return signalled;
        },
        [this, server, before = m_servers](std::vector<ProcessRow> signalled) {
            refreshAfter(followUpSeconds, [this, server, signalled, before] {
                assessStop({server}, signalled, before,
                           [this, server](StopReport::Outcome outcome) { settleKill(server, outcome); });
            });
        });
}

void ServerStore::settleKill(const Server& server, const StopReport::Outcome& outcome) {
    const bool container = isContainer(server);
    bool found = std::any_of(outcome.running.begin(), outcome.running.end(), [&](const Server& other) {
        return container ? other.containerName == server.containerName : other.pid == server.pid;
    });
    if (found) {
        m_stubbornPids.insert(server.pid);
    } else {
        m_stubbornPids.erase(server.pid);
        announceStop(outcome, {});
    }
    markChanged();
}

void ServerStore::stop(const std::vector<Server>& servers, const std::string& name) {
    auto* control = m_services.control.get();
    inBackground<std::vector<ProcessRow>>(
        [control, servers] {
            const auto table = control->processTable();
            std::vector<ProcessRow> signalled;
            std::unordered_set<std::int32_t> seen;
            for (const auto& server : servers) {
                if (isContainer(server)) continue;
                for (auto& row : StopReport::tree(server.pid, table))
                    if (seen.insert(row.pid).second) signalled.push_back(std::move(row));
            }
            control->stopGroup(servers);
            return signalled;
        },
        [this, servers, name, before = m_servers](std::vector<ProcessRow> signalled) {
            groupStopCheck(servers, std::move(signalled), before, name, 1);
        });
}

void ServerStore::groupStopCheck(std::vector<Server> servers, std::vector<ProcessRow> signalled,
                                 std::vector<Server> before, std::string name, int wait) {
    refreshAfter(followUpSeconds, [=, this] {
        std::set<std::int32_t> survivors;
        bool containerLeft = false;
        for (const auto& server : m_servers) {
            for (const auto& stopped : servers) {
                if (!isContainer(stopped) && server.pid == stopped.pid) survivors.insert(server.pid);
                if (isContainer(stopped) && server.port == stopped.port &&
                    server.containerName == stopped.containerName)
                    containerLeft = true;
            }
        }
        if (survivors.empty() && !containerLeft) {
            assessStop(servers, signalled, before,
                       [this, name](StopReport::Outcome outcome) { announceStop(outcome, name); });
            return;
        }
        if (wait < groupStopWaits) {
            groupStopCheck(servers, signalled, before, name, wait + 1);
            return;
        }
        m_stubbornPids.insert(survivors.begin(), survivors.end());
        markChanged();
    });
}

void ServerStore::assessStop(std::vector<Server> chosen, std::vector<ProcessRow> signalled,
                             std::vector<Server> before, std::function<void(StopReport::Outcome)> then) {
    auto* control = m_services.control.get();
    inBackground<StopReport::Outcome>(
        [control, chosen = std::move(chosen), signalled = std::move(signalled), before = std::move(before),
         after = m_servers] {
            return StopReport::assess(chosen, signalled, before, after, control->processTable(),
                                      [control](std::int32_t pid) { return control->processName(pid); });
        },
        std::move(then));
}

void ServerStore::announceStop(const StopReport::Outcome& outcome, const std::string& name) {
    std::string text;
    for (const auto& sentence : StopReport::sentences(outcome, name))
        text += (text.empty() ? "" : " ") + sentence;
    if (!text.empty()) announce(text);
}

void ServerStore::tidyUp(const std::vector<Server>& servers) {
    m_services.control->tidyUp(servers);
    refreshAfter(followUpSeconds);
}

void ServerStore::restart(const RecentStops::Entry& entry) {
    const Server& server = entry.server;
    if (!isContainer(server) && (!RecentStops::isRestartable(server) || !server.args || !server.cwd)) return;
    const auto id = server.id();
    m_restartingIDs.insert(id);
    markChanged();
    auto* control = m_services.control.get();
    inBackground<bool>([control, server] { return control->restart(server); },
                       [this, id](bool) {
                           // A failed launch shows as the server not coming back.
                           refreshAfter(followUpSeconds, [this, id] {
                               m_restartingIDs.erase(id);
                               markChanged();
                           });
                       });
}

bool ServerStore::isProtected(std::string_view processName) {
    static constexpr std::array<std::string_view, 11> names = {
        "loginwindow", "launchd",  "kernel_task", "WindowServer", "systemd", "init",
        "Xorg",        "Xwayland", "gnome-shell", "kwin_wayland", "kwin_x11"};
    return std::find(names.begin(), names.end(), processName) != names.end();
}

bool ServerStore::signalAllowed(std::int32_t pid, std::string_view name) const {
    return pid >= 2 && pid != m_services.ownPid && !isProtected(name);
}

void ServerStore::quit(const AppUsage& app) {
    if (!AppExplainer::explain(app).canQuit) return;
    std::vector<std::int32_t> pids;
    for (const auto& process : app.processes)
        if (signalAllowed(process.pid, process.name())) pids.push_back(process.pid);
    auto* desktop = m_services.desktop.get();
    auto* control = m_services.control.get();
    inBackground<bool>(
        [desktop, control, app, pids] {
            if (app.bundlePath && desktop->askToQuit(app)) return true;
            for (auto pid : pids) control->signal(pid, SIGTERM);
            return false;
        },
        [this, name = app.name](bool) {
            announce("Asked " + name + " to quit.");
            refreshAfter(quitFollowUpSeconds);
        });
}

void ServerStore::forceQuit(const AppUsage& app) {
    if (!AppExplainer::explain(app).canQuit) return;
    for (const auto& process : app.processes)
        if (signalAllowed(process.pid, process.name())) m_services.control->signal(process.pid, SIGKILL);
    announce("Force quit " + app.name + ".");
    refreshAfter(followUpSeconds);
}

bool ServerStore::canEnd(const ProcessRecord& process) const {
    if (!signalAllowed(process.pid, process.name())) return false;
    auto uid = m_services.control->ownerUid(process.pid);
    return uid && *uid == m_services.ownUid;
}

bool ServerStore::end(const ProcessRecord& process, bool force) {
    if (!canEnd(process) || !m_services.control->signal(process.pid, force ? SIGKILL : SIGTERM)) return false;
    const std::string name(process.name());
    announce(force ? "Force quit " + name + "." : "Asked " + name + " to quit.");
    refreshAfter(followUpSeconds);
    return true;
}

// Storage.

StorageReport ServerStore::shownStorage() const {
    StorageReport report;
    report.clearable = m_clearable.value_or(std::vector<StorageItem>{});
    report.largeFiles = m_largeFiles.value_or(std::vector<StorageItem>{});
    report.largeFilesComplete = m_largeFilesComplete;
    return report;
}

void ServerStore::setBusy(const std::string& path, bool busy) {
    if (busy)
        m_storageBusy.insert(path);
    else
        m_storageBusy.erase(path);
    markChanged();
}

void ServerStore::scanStorage(bool force) {
    if (m_isPreview) return;
    const Date at = now();
    if (!force && m_storageMeasuredAt &&
        std::chrono::duration<double>(at - *m_storageMeasuredAt).count() < storageMaxAge)
        return;
    m_storageMeasuredAt = at;
    auto* storage = m_services.storage.get();
    inBackground<StorageScanner::LargeFileSearch>([storage] { return storage->largeFiles(); },
                                                  [this, storage](StorageScanner::LargeFileSearch files) {
                                                      m_largeFiles = std::move(files.files);
                                                      m_largeFilesComplete = files.complete;
                                                      markChanged();
                                                      inBackground<std::vector<StorageItem>>(
                                                          [storage] { return storage->clearable(); },
                                                          [this](std::vector<StorageItem> items) {
                                                              m_clearable = std::move(items);
                                                              m_storageMeasuredAt = now();
                                                              markChanged();
                                                          });
                                                  });
}

void ServerStore::clear(const StorageItem& item) {
    setBusy(item.path, true);
    auto* storage = m_services.storage.get();
    inBackground<StorageActions::Result>(
        [storage, item, report = shownStorage()] { return storage->clear(item, report); },
        [this, item](StorageActions::Result result) {
            setBusy(item.path, false);
            if (result.ok) {
                if (m_clearable) std::erase(*m_clearable, item);
                announce("Cleared " + item.title + ", " + ByteFormat::storage(item.freeableBytes()) + ".");
            } else {
                announce(
                    Text::filled("Couldn't clear {}. Some files may be in use; try again after quitting the "
                                 "app that uses them.",
                                 {item.title}));
            }
            refresh();
        });
}

void ServerStore::moveToTrash(const StorageItem& item) {
    setBusy(item.path, true);
    auto* storage = m_services.storage.get();
    inBackground<StorageActions::Result>(
        [storage, item, report = shownStorage()] { return storage->moveToTrash(item, report); },
        [this, item](StorageActions::Result result) {
            setBusy(item.path, false);
            if (result.ok) {
                if (m_largeFiles) std::erase(*m_largeFiles, item);
                announce(Text::filled("Moved {} to the Trash. Empty the Trash to get the space back.",
                                      {item.title}));
            } else {
                announce(Text::filled("Couldn't move {} to the Trash. Use Show in Files and drag it there.",
                                      {item.title}));
            }
        });
}

void ServerStore::cleanUpDocker(const StorageItem& item) {
    auto docker = m_services.control->dockerPath();
    if (!docker) return;
    setBusy(item.path, true);
    auto* storage = m_services.storage.get();
    inBackground<StorageActions::Result>(
        [storage, docker = *docker] { return storage->cleanUpDocker(docker); },
        [this, path = item.path](StorageActions::Result result) {
            setBusy(path, false);
            announce(result.message);
            scanStorage(true);
        });
}

void ServerStore::openTrash() {
    m_services.desktop->openTrash();
}

void ServerStore::openBatterySettings() {
    m_services.desktop->openSettings(SettingsPanel::battery);
}

void ServerStore::checkNetworkApps() {
    if (m_checkingNetwork || m_isPreview) return;
    m_checkingNetwork = true;
    markChanged();
    auto* network = m_services.network.get();
    inBackground<std::vector<ProcessTraffic>>([network] { return network->sample(); },
                                              [this](std::vector<ProcessTraffic> traffic) {
                                                  m_networkApps = AppTraffic::group(traffic, m_vitals.apps);
                                                  m_networkCheckedAt = now();
                                                  m_checkingNetwork = false;
                                                  markChanged();
                                              });
}

// Notifications.

void ServerStore::post(Notification notification) {
    if (!m_services.notifier->available()) return;
    m_services.notifier->post(notification, [](std::optional<std::string>) {});
}

void ServerStore::notify(const SnapshotDiff& diff) {
    for (const auto& server : diff.devStarted())
        post({server.kind.name + " is up", "Listening on localhost:" + std::to_string(server.port),
              "start-" + server.id()});
    for (const auto& server : diff.devStopped())
        post({server.kind.name + " stopped", "Port " + std::to_string(server.port) + " is free again",
              "stop-" + server.id()});
}

void ServerStore::alertIfNeeded(Date at) {
    if (!m_notificationsEnabled) return;
    // Asking the session bus costs a round trip, so it is asked only once an alert is due; an alert
    // that cannot be shown is not counted against its hour.
    std::optional<bool> reachable;
    auto due = [&](bool wanted, const std::string& key) {
        if (!wanted) return false;
        if (!reachable) reachable = m_services.notifier->available();
        return *reachable && m_alertThrottle.shouldFire(key, at);
    };
    const bool hot = m_heat.level == HeatLevel::hot || m_heat.level == HeatLevel::critical;
    if (due(m_alertOnHeat && hot, "heat")) {
        post({(m_heat.level == HeatLevel::critical ? "Your computer is very hot"
                                                   : "Your computer is running hot"),
              heatBody(m_heat), "heat-" + randomIdentifier()});
    }
    for (const auto& insight : m_insights) {
        if (const auto* hog = std::get_if<Insights::CpuHog>(&insight)) {
            if (!due(m_alertOnHighCPU, "cpu:" + std::to_string(hog->server.pid))) continue;
            post({Insights::displayName(hog->server) + " is keeping the CPU busy",
                  rounded(hog->averagePercent) + "% on average for " + std::to_string(hog->minutes) +
                      " minutes.",
                  "insight-" + randomIdentifier()});
        } else if (const auto* growth = std::get_if<Insights::MemoryGrowth>(&insight)) {
            if (!due(m_alertOnMemoryGrowth, "growth:" + std::to_string(growth->server.pid))) continue;
            auto current = growth->server.memoryBytes ? ByteFormat::short_(*growth->server.memoryBytes) : "";
            post({Insights::displayName(growth->server) + " keeps using more memory",
                  "Up " + ByteFormat::short_(growth->deltaBytes) + " in " + std::to_string(growth->minutes) +
                      " minutes, now " + current + ".",
                  "insight-" + randomIdentifier()});
        }
    }
}

void ServerStore::announceUpdateIfNeeded() {
    if (!m_services.notifier->available()) return;
    const auto& current = m_services.version;
    auto stored = m_services.settings->value("lastRunVersion");
    std::optional<std::string> last;
    if (stored.typeId() == QMetaType::QString) last = stored.toString().toStdString();
    m_services.settings->setValue("lastRunVersion", QString::fromStdString(current));
    m_isFreshInstall = !last;
    if (!last || *last == current || !Version::isNewer(current, *last)) return;
    if (m_notificationsEnabled)
        post({"Tarvik updated to " + current,
              "New: the Tarvik window, with everything your computer is doing. Click to open it.",
              "updated-" + current});
}

void ServerStore::requestNotificationPermissionIfNeeded() {
    if (m_services.notifier->authorization() == Authorization::notDetermined)
        m_services.notifier->requestAuthorization([](bool, std::optional<std::string>) {});
}

void ServerStore::sendTestNotification() {
    auto& notifier = *m_services.notifier;
    if (notifier.authorization() == Authorization::denied) {
        m_services.desktop->openSettings(SettingsPanel::notifications);
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

// Preview data.

void ServerStore::setPreviewInsights(std::vector<Insight> insights) {
    m_insights = std::move(insights);
    markChanged();
}

void ServerStore::setPreviewHistory(MetricHistory history) {
    m_history = std::move(history);
    markChanged();
}

void ServerStore::setPreviewPressure(MemoryPressure pressure) {
    m_memoryPressure = pressure;
    markChanged();
}

void ServerStore::setPreviewDockerVMLimit(std::optional<std::uint64_t> limit) {
    m_dockerVMLimit = limit;
    markChanged();
}

void ServerStore::setPreviewVitals(SystemVitals vitals) {
    m_cpuFraction = vitals.cpu ? std::optional(vitals.cpu->busy) : m_cpuFraction;
    m_vitals = std::move(vitals);
    markChanged();
}

void ServerStore::setPreviewHistories(ValueHistory vitals, ValueHistory apps,
                                      std::vector<AppUsage> appsAveraged) {
    m_recorder.vitals = std::move(vitals);
    m_recorder.apps = std::move(apps);
    m_appsAveraged = std::move(appsAveraged);
    markChanged();
}

void ServerStore::setPreviewHeat(HeatReport heat, std::vector<Finding> findings) {
    m_heat = std::move(heat);
    m_findings = std::move(findings);
    markChanged();
}

void ServerStore::setPreviewIdle(const std::vector<std::int32_t>& pids) {
    std::unordered_map<std::int32_t, double> quiet;
    for (auto pid : pids) quiet[pid] = 0;
    for (int i = 0; i < m_idleTracker.requiredSamples; ++i) m_idleTracker.record(quiet);
    markChanged();
}

void ServerStore::setPreviewProbe(const std::string& serverID, HTTPProbe::Outcome outcome) {
    m_probeOutcomes.insert_or_assign(serverID, outcome);
    markChanged();
}

void ServerStore::setPreviewRecentStops(RecentStops stops) {
    m_recentStops = std::move(stops);
    markChanged();
}

void ServerStore::setPreviewStorage(std::vector<StorageItem> largeFiles, std::vector<StorageItem> clearable) {
    m_largeFiles = std::move(largeFiles);
    m_clearable = std::move(clearable);
    m_storageMeasuredAt = now();
    markChanged();
}

void ServerStore::setPreviewNetwork(std::vector<AppTraffic> apps) {
    m_networkApps = std::move(apps);
    m_networkCheckedAt = now();
    markChanged();
}

}  // namespace tarvik::ui
