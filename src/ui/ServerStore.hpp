#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/analysis/Diagnosis.hpp"
#include "core/analysis/HeatReport.hpp"
#include "core/analysis/IdleTracker.hpp"
#include "core/analysis/Insights.hpp"
#include "core/analysis/MetricHistory.hpp"
#include "core/analysis/VitalsRecorder.hpp"
#include "core/machine/NetworkUsage.hpp"
#include "core/servers/DevFootprint.hpp"
#include "core/servers/ServerGroup.hpp"
#include "core/servers/StopAction.hpp"
#include "core/servers/StopReport.hpp"
#include "ui/MenuBarDisplay.hpp"
#include "ui/Services.hpp"

namespace tarvik::ui {

// One row of the network check: an app's traffic, or a process no app lists.
struct AppTraffic {
    std::optional<AppUsage> app;
    std::string name;
    double bytesIn = 0;
    double bytesOut = 0;
    bool operator==(const AppTraffic&) const = default;

    // Each process's traffic summed into the app listing its pid; heaviest first, ties in order.
    [[nodiscard]] static std::vector<AppTraffic> group(const std::vector<ProcessTraffic>& traffic,
                                                       const std::vector<AppUsage>& apps);
};

// What a preview store shows: fixed data, never sampled.
struct PreviewData {
    std::vector<Server> servers;
    bool scanned = true;
    MemoryUsage memory;
    std::optional<double> cpu;
};

// The one model the views read. It samples the machine on a timer, keeps every derived result and
// carries out the user's actions. Its fields change only on the thread that owns it; every service
// call that may block runs through `Background`, its result applied back here, and the world
// outside is reached only through `Services`.
class ServerStore : public QObject {
    Q_OBJECT

public:
    static constexpr double busyPause = 3;  // seconds between refreshes while a view shows
    static constexpr double idlePause = 8;
    static constexpr double toastSeconds = 4;
    static constexpr double followUpSeconds = 1.5;
    static constexpr double quitFollowUpSeconds = 2;
    static constexpr int groupStopWaits = 8;
    static constexpr double storageMaxAge = 300;
    static constexpr double probeTimeout = 1.0;

    explicit ServerStore(Services services, QObject* parent = nullptr);
    ServerStore(Services services, PreviewData preview, QObject* parent = nullptr);
    ~ServerStore() override;

    // The fields.
    [[nodiscard]] const std::vector<Server>& servers() const { return m_servers; }
    [[nodiscard]] bool hasScanned() const { return m_hasScanned; }
    [[nodiscard]] const MemoryUsage& memoryUsage() const { return m_memoryUsage; }
    [[nodiscard]] std::optional<double> cpuFraction() const { return m_cpuFraction; }
    [[nodiscard]] const std::set<std::int32_t>& stubbornPids() const { return m_stubbornPids; }
    [[nodiscard]] const std::map<std::string, HTTPProbe::Outcome>& probeOutcomes() const {
        return m_probeOutcomes;
    }
    [[nodiscard]] const RecentStops& recentStops() const { return m_recentStops; }
    [[nodiscard]] const std::set<std::string>& restartingIDs() const { return m_restartingIDs; }
    [[nodiscard]] const MetricHistory& history() const { return m_history; }
    [[nodiscard]] const std::vector<Insight>& insights() const { return m_insights; }
    [[nodiscard]] MemoryPressure memoryPressure() const { return m_memoryPressure; }
    [[nodiscard]] std::optional<std::uint64_t> dockerVMLimit() const { return m_dockerVMLimit; }
    [[nodiscard]] const std::optional<std::string>& toast() const { return m_toast; }
    [[nodiscard]] const SystemVitals& vitals() const { return m_vitals; }
    [[nodiscard]] const ValueHistory& vitalsHistory() const { return m_recorder.vitals; }
    [[nodiscard]] const HeatReport& heat() const { return m_heat; }
    [[nodiscard]] const std::vector<Finding>& findings() const { return m_findings; }
    [[nodiscard]] const std::vector<AppUsage>& appsAveraged() const { return m_appsAveraged; }
    [[nodiscard]] const ValueHistory& appHistory() const { return m_recorder.apps; }
    [[nodiscard]] const IdleTracker& idleTracker() const { return m_idleTracker; }
    [[nodiscard]] const ActivityClock& activity() const { return m_activity; }
    [[nodiscard]] bool isPreview() const { return m_isPreview; }
    [[nodiscard]] bool showSystemServers() const { return m_showSystemServers; }
    [[nodiscard]] bool notificationsEnabled() const { return m_notificationsEnabled; }
    [[nodiscard]] MenuBarDisplay menuBarDisplay() const { return m_menuBarDisplay; }
    [[nodiscard]] bool alertOnMemoryGrowth() const { return m_alertOnMemoryGrowth; }
    [[nodiscard]] bool alertOnHeat() const { return m_alertOnHeat; }
    [[nodiscard]] bool alertOnHighCPU() const { return m_alertOnHighCPU; }
    [[nodiscard]] bool hasOnboarded() const { return m_hasOnboarded; }
    [[nodiscard]] bool launchAtLogin() const { return m_launchAtLogin; }
    [[nodiscard]] bool panelIsOpen() const { return m_panelIsOpen; }
    [[nodiscard]] bool dashboardIsOpen() const { return m_dashboardIsOpen; }
    [[nodiscard]] const std::optional<std::vector<StorageItem>>& largeFiles() const { return m_largeFiles; }
    // False when the last search for large files stopped before it looked everywhere.
    [[nodiscard]] bool largeFilesComplete() const { return m_largeFilesComplete; }
    [[nodiscard]] const std::optional<std::vector<StorageItem>>& clearable() const { return m_clearable; }
    [[nodiscard]] std::optional<Date> storageMeasuredAt() const { return m_storageMeasuredAt; }
    [[nodiscard]] const std::set<std::string>& storageBusy() const { return m_storageBusy; }
    [[nodiscard]] const std::optional<std::vector<AppTraffic>>& networkApps() const { return m_networkApps; }
    [[nodiscard]] std::optional<Date> networkCheckedAt() const { return m_networkCheckedAt; }
    [[nodiscard]] bool checkingNetwork() const { return m_checkingNetwork; }
    [[nodiscard]] bool isFreshInstall() const { return m_isFreshInstall; }
    [[nodiscard]] const std::string& version() const { return m_services.version; }

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
    [[nodiscard]] bool dockerAvailable() const;
    [[nodiscard]] bool isBeingWatched() const { return m_panelIsOpen || m_dashboardIsOpen; }
    [[nodiscard]] std::string userFirstName() const;
    // An unknown kind that answered HTTP when probed counts as HTTP.
    [[nodiscard]] ServiceProtocol serviceProtocol(const Server& server) const;
    // Seconds since the server last used the CPU; nullopt for servers that are never idle.
    [[nodiscard]] std::optional<double> idleSeconds(const Server& server) const;
    [[nodiscard]] Date now() const { return m_services.clock->now(); }

    // The cycle.
    void startPolling();
    // One refresh; `done` runs once it has been applied (never in a preview store, which returns).
    void refresh(std::function<void()> done = {});
    void probeServers(std::function<void()> done = {});
    void recordVitals(const SystemVitals& sample, Date now);
    void recordHistory(const std::vector<Server>& servers, Date now);

    // Settings: stored, written back, then their side effects.
    void setShowSystemServers(bool value);
    void setNotificationsEnabled(bool value);
    void setMenuBarDisplay(MenuBarDisplay value);
    void setAlertOnMemoryGrowth(bool value);
    void setAlertOnHeat(bool value);
    void setAlertOnHighCPU(bool value);
    void setHasOnboarded(bool value);
    void setLaunchAtLogin(bool value);
    // Where the dashboard window was last, as the window system saves it; empty before.
    [[nodiscard]] QByteArray dashboardGeometry() const;
    void setDashboardGeometry(const QByteArray& geometry);
    // Opening a view refreshes at once.
    void setPanelIsOpen(bool open);
    void setDashboardIsOpen(bool open);

    // Actions.
    void announce(const std::string& text);
    // Updates come with the system's packages and no feed exists to ask, so a check says which
    // version is installed and where its updates come from.
    void checkForUpdates();
    void open(const Server& server);
    void copyURL(const Server& server);
    void copyText(const std::string& text);
    // The share card as a PNG: saved into the Downloads folder, or put on the clipboard. An empty
    // image (a failed render) or a missing Downloads folder does nothing.
    void saveImage(const QByteArray& png);
    void copyImage(const QByteArray& png);
    // "Tarvik " and the local date and time with "." for ":", then ".png".
    [[nodiscard]] static std::string shareImageName(Date now);
    void revealDirectory(const Server& server);
    void reveal(const std::string& path);
    // Stops and quits read the process table or ask the desktop off this thread; what they change
    // here (stubborn pids, toasts, the follow-up refresh) comes once that is back.
    void kill(const Server& server, bool force);
    void stop(const std::vector<Server>& servers, const std::string& name);
    void tidyUp(const std::vector<Server>& servers);
    void restart(const RecentStops::Entry& entry);
    void quit(const AppUsage& app);
    void forceQuit(const AppUsage& app);
    [[nodiscard]] bool canEnd(const ProcessRecord& process) const;
    bool end(const ProcessRecord& process, bool force);
    void scanStorage(bool force);
    void clear(const StorageItem& item);
    void moveToTrash(const StorageItem& item);
    void cleanUpDocker(const StorageItem& item);
    void openTrash();
    void openBatterySettings();
    void checkNetworkApps();
    void sendTestNotification();
    void requestNotificationPermissionIfNeeded();
    void notify(const SnapshotDiff& diff);
    void alertIfNeeded(Date now);
    void announceUpdateIfNeeded();

    // Preview data, for renders and view tests.
    void setPreviewInsights(std::vector<Insight> insights);
    void setPreviewHistory(MetricHistory history);
    void setPreviewPressure(MemoryPressure pressure);
    void setPreviewDockerVMLimit(std::optional<std::uint64_t> limit);
    void setPreviewVitals(SystemVitals vitals);
    void setPreviewHistories(ValueHistory vitals, ValueHistory apps, std::vector<AppUsage> appsAveraged);
    void setPreviewHeat(HeatReport heat, std::vector<Finding> findings);
    void setPreviewIdle(const std::vector<std::int32_t>& pids);
    void setPreviewProbe(const std::string& serverID, HTTPProbe::Outcome outcome);
    void setPreviewRecentStops(RecentStops stops);
    void setPreviewStorage(std::vector<StorageItem> largeFiles, std::vector<StorageItem> clearable);
    void setPreviewNetwork(std::vector<AppTraffic> apps);

    // Names the fixed processes that no action signals.
    [[nodiscard]] static bool isProtected(std::string_view processName);

signals:
    // Once per refresh and per action that changed something, coalesced.
    void changed();
    void toastChanged();
    // A click on the update notification asks for the dashboard's overview.
    void dashboardRequested();

private:
    void readSettings();
    void apply(const std::vector<Server>& before, SamplingResult result, std::function<void()> done);
    void finishRefresh(const SnapshotDiff& diff, std::function<void()> done);
    void loop();
    void after(double seconds, std::function<void()> work);
    void refreshAfter(double seconds, std::function<void()> then = {});
    // Looks again after a group stop, up to `groupStopWaits` times while its processes are listed.
    void groupStopCheck(std::vector<Server> servers, std::vector<ProcessRow> signalled,
                        std::vector<Server> before, std::string name, int wait);
    // What a stop of `chosen` ended, the current servers against `before`, told to `then`; the
    // process table it needs is read off this thread.
    void assessStop(std::vector<Server> chosen, std::vector<ProcessRow> signalled, std::vector<Server> before,
                    std::function<void(StopReport::Outcome)> then);
    // After a kill's follow-up: the server is stubborn when it outlived its stop, else the toast
    // says what ended.
    void settleKill(const Server& server, const StopReport::Outcome& outcome);
    // The toast that says it; `name` empty names the first ended server's kind.
    void announceStop(const StopReport::Outcome& outcome, const std::string& name);
    void post(Notification notification);
    void markChanged();
    void writeSetting(const char* key, const QVariant& value);
    bool signalAllowed(std::int32_t pid, std::string_view name) const;
    [[nodiscard]] StorageReport shownStorage() const;
    void setBusy(const std::string& path, bool busy);

    // Blocking work off this thread, its result applied back here.
    template <typename T>
    void inBackground(std::function<T()> work, std::function<void(T)> then);

    Services m_services;

    std::vector<Server> m_servers;
    bool m_hasScanned = false;
    MemoryUsage m_memoryUsage;
    std::optional<double> m_cpuFraction;
    std::set<std::int32_t> m_stubbornPids;
    std::map<std::string, HTTPProbe::Outcome> m_probeOutcomes;
    RecentStops m_recentStops;
    std::set<std::string> m_restartingIDs;
    MetricHistory m_history{3600};
    std::vector<Insight> m_insights;
    MemoryPressure m_memoryPressure = MemoryPressure::normal;
    std::optional<std::uint64_t> m_dockerVMLimit;
    std::optional<std::string> m_toast;
    SystemVitals m_vitals;
    VitalsRecorder m_recorder;  // the vitals and app histories
    HeatReport m_heat;
    std::vector<Finding> m_findings;
    std::vector<AppUsage> m_appsAveraged;
    IdleTracker m_idleTracker{1.0, 3};
    ActivityClock m_activity{1.0};
    AlertThrottle m_alertThrottle{3600};
    std::optional<Scheduler::Handle> m_toastTask;
    bool m_isPreview = false;
    bool m_showSystemServers = false;
    bool m_notificationsEnabled = true;
    MenuBarDisplay m_menuBarDisplay = MenuBarDisplay::count;
    bool m_alertOnMemoryGrowth = true;
    bool m_alertOnHeat = true;
    bool m_alertOnHighCPU = true;
    bool m_hasOnboarded = false;
    bool m_launchAtLogin = false;
    bool m_panelIsOpen = false;
    bool m_dashboardIsOpen = false;
    std::optional<std::vector<StorageItem>> m_largeFiles;
    bool m_largeFilesComplete = true;
    std::optional<std::vector<StorageItem>> m_clearable;
    std::optional<Date> m_storageMeasuredAt;
    std::set<std::string> m_storageBusy;
    std::optional<std::vector<AppTraffic>> m_networkApps;
    std::optional<Date> m_networkCheckedAt;
    bool m_checkingNetwork = false;
    bool m_isFreshInstall = false;

    bool m_polling = false;
    bool m_changePending = false;
    std::optional<Scheduler::Handle> m_loopTask;
};

}  // namespace tarvik::ui
