#include "core/ProcessSource.hpp"

#include <mutex>
#include <unordered_map>

#include "core/platform/linux/DesktopApps.hpp"
#include "core/platform/linux/ProcFs.hpp"

namespace tarvik {

namespace {

// What is kept per live process between reads. The executable path is read again only when comm
// changes, which an exec always does; the systemd unit only at first sight.
struct Tracked {
    ProcHandle handle;
    std::uint64_t startTicks = 0;
    std::string comm;
    std::string path;
    std::optional<DesktopApp> app;
};

class LinuxProcessSource final : public ProcessSource {
public:
    LinuxProcessSource(std::string root, std::vector<std::string> applicationDirs)
        : m_root(std::move(root)), m_directory(std::move(applicationDirs)) {}

    std::vector<ProcessReading> read() override {
        const double ticks = static_cast<double>(ProcRoot::clockTicksPerSecond());
        const auto page = static_cast<std::uint64_t>(ProcRoot::pageSize());
        const std::size_t budget = ProcRoot::descriptorBudget();
        std::lock_guard lock(m_mutex);
        auto pids = m_root.pids();
        std::vector<ProcessReading> readings;
        readings.reserve(pids.size());
        std::unordered_map<std::int32_t, Tracked> next;
        next.reserve(pids.size());
        std::size_t descriptors = 0;

        for (std::int32_t pid : pids) {
            Tracked tracked;
            ProcFs::Stat stat;
            bool fresh = true;
            if (auto it = m_tracked.find(pid); it != m_tracked.end()) {
                tracked = std::move(it->second);
                auto again = tracked.handle.stat(m_root);
                if (again && again->startTicks == tracked.startTicks) {
                    stat = std::move(*again);
                    fresh = false;
                } else {
                    tracked = Tracked{};  // gone, or the pid now names another process
                }
            }
            if (fresh) {
                // Files of a fixture tree are replaced, not rewritten, so only /proc's are kept open.
                tracked.handle = ProcHandle(m_root, pid, m_root.isLive() && descriptors + 2 <= budget);
                auto first = tracked.handle.stat(m_root);
                if (!first) continue;  // exited since the listing
                stat = std::move(*first);
                tracked.startTicks = stat.startTicks;
            }
            descriptors += static_cast<std::size_t>(tracked.handle.descriptors());

            ProcessReading reading;
            reading.pid = pid;
            reading.ppid = stat.ppid;
            reading.kernelThread = stat.isKernelThread();
            reading.startTime = stat.startTicks;
            reading.cpuSeconds = static_cast<double>(stat.userTicks + stat.systemTicks) / ticks;
            if (fresh || stat.comm != tracked.comm) {
                tracked.path = m_root.executablePath(pid, stat);
                tracked.comm = std::move(stat.comm);
            }
            reading.path = tracked.path;
            if (!reading.kernelThread) {
                // Resident minus shared is the process's private memory, the closest match to a
                // physical footprint that /proc gives without walking smaps.
                if (auto statm = tracked.handle.statm(m_root); statm && statm->resident >= statm->shared)
                    reading.memoryBytes = (statm->resident - statm->shared) * page;
                if (fresh) tracked.app = application(pid);
                reading.app = tracked.app;
            }
            readings.push_back(std::move(reading));
            next.emplace(pid, std::move(tracked));
        }
        m_tracked = std::move(next);  // closes the descriptors of processes that are gone
        return readings;
    }

private:
    std::optional<DesktopApp> application(std::int32_t pid) {
        auto cgroup = m_root.read(pid, "cgroup");
        if (!cgroup) return std::nullopt;
        auto unit = DesktopApps::unitApplication(*cgroup);
        if (!unit) return std::nullopt;
        return m_directory.lookup(*unit);
    }

    ProcRoot m_root;
    DesktopApps::Directory m_directory;
    std::mutex m_mutex;  // guards m_tracked
    std::unordered_map<std::int32_t, Tracked> m_tracked;
};

}  // namespace

std::unique_ptr<ProcessSource> ProcessSource::live() {
    return std::make_unique<LinuxProcessSource>("/proc", DesktopApps::defaultApplicationDirs());
}

std::unique_ptr<ProcessSource> ProcessSource::at(const std::string& root, std::vector<std::string> applicationDirs) {
    return std::make_unique<LinuxProcessSource>(root, std::move(applicationDirs));
}

}  // namespace tarvik
