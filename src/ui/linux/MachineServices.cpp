#include "ui/linux/MachineServices.hpp"

#include <unistd.h>
#include <QTimer>
#include <csignal>

#include "core/platform/LibProc.hpp"
#include "core/platform/SystemSensors.hpp"
#include "core/servers/Docker.hpp"
#include "core/support/Paths.hpp"

namespace tarvik::ui {

Scheduler::Handle TimerScheduler::after(std::chrono::milliseconds delay, std::function<void()> work) {
    const Handle handle = ++m_next;
    auto* timer = new QTimer(&m_context);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [this, handle, timer, work = std::move(work)] {
        m_timers.erase(handle);
        timer->deleteLater();
        work();
    });
    m_timers.emplace(handle, timer);
    timer->start(delay);
    return handle;
}

void TimerScheduler::cancel(Handle handle) {
    auto timer = m_timers.find(handle);
    if (timer == m_timers.end()) return;
    static_cast<QTimer*>(timer->second)->stop();
    timer->second->deleteLater();
    m_timers.erase(timer);
}

PoolBackground::PoolBackground(int threads) {
    m_pool.setMaxThreadCount(threads);
}

PoolBackground::~PoolBackground() {
    // Nothing posts a continuation after this; those already posted die with the context.
    m_pool.waitForDone();
}

void PoolBackground::run(std::function<void()> work, std::function<void()> then) {
    m_pool.start([this, work = std::move(work), then = std::move(then)]() mutable {
        work();
        QMetaObject::invokeMethod(&m_context, std::move(then), Qt::QueuedConnection);
    });
}

LiveSampling::LiveSampling() : m_sources(PortScanner::Sources::live()) {}

SamplingResult LiveSampling::sample() {
    std::lock_guard lock(m_mutex);
    auto snapshot = m_sampler.sample();
    SamplingResult result;
    result.servers = PortScanner::scan(snapshot, m_sources);
    result.vitals = m_monitor.sample(snapshot);
    result.memory = result.vitals.memory ? result.vitals.memory->usage() : SystemStats::memory();
    result.pressure = MemoryPressures::current();
    if (m_sources.docker) result.dockerVMLimit = m_sources.docker->vmMemoryLimit();
    return result;
}

std::optional<std::uint64_t> LiveSampling::listenersFingerprint() {
    return LibProc::listenersFingerprint();
}

bool LiveControl::signal(std::int32_t pid, int signal) {
    return tarvik::ProcessControl::maySignal(pid) && ::kill(pid, signal) == 0;
}

std::optional<std::uint32_t> LiveControl::ownerUid(std::int32_t pid) {
    return LibProc::ownerUid(pid);
}

std::string LiveControl::userName(std::uint32_t uid) {
    return LibProc::userName(uid);
}

std::optional<std::string> LiveControl::dockerPath() {
    return DockerInspector::binaryPath();
}

std::vector<ProcessRow> LiveControl::processTable() {
    return LibProc::processTable();
}

LiveStorage::LiveStorage(std::string home) : m_home(std::move(home)) {}

StorageScanner::LargeFileSearch LiveStorage::largeFiles() {
    return StorageScanner::largeFiles(m_home, StorageScanner::largeFileMinimum,
                                      StorageScanner::largeFileLimit);
}

std::vector<StorageItem> LiveStorage::clearable() {
    return StorageScanner::clearable(m_home, StorageScanner::defaultMinimum);
}

StorageActions::Result LiveStorage::clear(const StorageItem& item, const StorageReport& report) {
    return StorageActions::removeCache(item.path, report, m_home);
}

StorageActions::Result LiveStorage::moveToTrash(const StorageItem& item, const StorageReport& report) {
    return StorageActions::moveToTrash(item.path, report, m_home, std::chrono::system_clock::now());
}

StorageActions::Result LiveStorage::cleanUpDocker(const std::string& docker) {
    return StorageActions::cleanUpDocker(docker);
}

}  // namespace tarvik::ui
