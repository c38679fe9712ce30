#pragma once

#include <QObject>
#include <QThreadPool>
#include <mutex>
#include <unordered_map>

#include "core/machine/SystemMonitor.hpp"
#include "core/processes/ProcessSampler.hpp"
#include "core/servers/PortScanner.hpp"
#include "core/servers/ProcessControl.hpp"
#include "ui/Services.hpp"

// The store's services that reach this machine: time, threads, sampling, probes, signals, disk
// and network. The desktop's are beside them.
namespace tarvik::ui {

class SystemClock : public Clock {
public:
    [[nodiscard]] Date now() const override { return std::chrono::system_clock::now(); }
};

// Timers of the thread that creates it, on the monotonic clock.
class TimerScheduler : public Scheduler {
public:
    Handle after(std::chrono::milliseconds delay, std::function<void()> work) override;
    void cancel(Handle handle) override;

private:
    QObject m_context;
    Handle m_next = 0;
    std::unordered_map<Handle, QObject*> m_timers;
};

// A private pool, so that probes and scans never wait behind the application's other work. The
// continuations run on the thread that created it; on destruction it waits for running work.
class PoolBackground : public Background {
public:
    explicit PoolBackground(int threads = 6);
    ~PoolBackground() override;
    void run(std::function<void()> work, std::function<void()> then) override;

private:
    QObject m_context;
    QThreadPool m_pool;
};

// Two refreshes may overlap (opening a view refreshes beside the loop); their samples take turns,
// since the scan's sources remember the sockets between scans.
class LiveSampling : public SamplingStep {
public:
    LiveSampling();
    SamplingResult sample() override;
    std::optional<std::uint64_t> listenersFingerprint() override;

private:
    std::mutex m_mutex;  // held for a whole sample
    ProcessSampler m_sampler;
    SystemMonitor m_monitor;
    PortScanner::Sources m_sources;
};

class LiveProber : public Prober {
public:
    HTTPProbe::Outcome probe(int port, double timeout) override { return PortProber::probe(port, timeout); }
};

class LiveControl : public ProcessControl {
public:
    bool carryOut(const StopAction& action) override { return m_control.carryOut(action); }
    void stopGroup(const std::vector<Server>& servers) override { m_control.stopGroup(servers); }
    void tidyUp(const std::vector<Server>& servers) override { m_control.tidyUp(servers); }
    bool restart(const Server& server) override { return m_control.restart(server); }
    bool signal(std::int32_t pid, int signal) override;
    std::optional<std::uint32_t> ownerUid(std::int32_t pid) override;
    std::string userName(std::uint32_t uid) override;
    std::optional<std::string> dockerPath() override;
    std::vector<ProcessRow> processTable() override;
    std::string processName(std::int32_t pid) override { return tarvik::ProcessControl::processName(pid); }

private:
    tarvik::ProcessControl m_control;
};

class LiveStorage : public StorageService {
public:
    explicit LiveStorage(std::string home);
    StorageScanner::LargeFileSearch largeFiles() override;
    std::vector<StorageItem> clearable() override;
    StorageActions::Result clear(const StorageItem& item, const StorageReport& report) override;
    StorageActions::Result moveToTrash(const StorageItem& item, const StorageReport& report) override;
    StorageActions::Result cleanUpDocker(const std::string& docker) override;

private:
    std::string m_home;
};

class LiveNetwork : public NetworkService {
public:
    std::vector<ProcessTraffic> sample() override { return NetworkUsage::sample(); }
};

// The services of the running application: this machine and this desktop session.
[[nodiscard]] Services liveServices();

}  // namespace tarvik::ui
