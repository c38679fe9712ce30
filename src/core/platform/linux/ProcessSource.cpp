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
    std::uint64_t cpuTicks = 0;
    std::uint64_t memoryBytes = 0;
    int idleReads = 0;  // reads since memory was last read
    std::uint64_t generation = 0;
};

constexpr int idleReadsBeforeMemory = 10;

class LinuxProcessSource final : public ProcessSource {
public:
    LinuxProcessSource(std::string root, std::vector<std::string> applicationDirs, bool applications)
        : m_root(std::move(root)), m_directory(std::move(applicationDirs)), m_applications(applications) {}

    std::vector<ProcessReading> read() override {
        const double ticks = static_cast<double>(ProcRoot::clockTicksPerSecond());
        const auto page = static_cast<std::uint64_t>(ProcRoot::pageSize());
        const std::size_t budget = ProcRoot::descriptorBudget();
        std::lock_guard lock(m_mutex);
        ++m_generation;
        auto pids = m_root.pids();
        std::vector<ProcessReading> readings;
        readings.reserve(pids.size());
        std::size_t descriptors = 0;

        // Entries are updated in place: this loop runs for every process on every refresh.
        for (std::int32_t pid : pids) {
            auto [it, fresh] = m_tracked.try_emplace(pid);
            Tracked& tracked = it->second;
            std::optional<ProcFs::Stat> stat;
            if (!fresh) {
                stat = tracked.handle.stat(m_root, m_buffer);
                if (!stat || stat->startTicks != tracked.startTicks) {
                    tracked = Tracked{};  // gone, or the pid now names another process
                    fresh = true;
                }
            }
            if (fresh) {
                // Files of a fixture tree are replaced, not rewritten, so only /proc's are kept open.
                tracked.handle = ProcHandle(m_root, pid, m_root.isLive() && descriptors + 2 <= budget);
                stat = tracked.handle.stat(m_root, m_buffer);
                if (!stat) {  // exited since the listing
                    m_tracked.erase(it);
                    continue;
                }
                tracked.startTicks = stat->startTicks;
            }
            tracked.generation = m_generation;
            descriptors += static_cast<std::size_t>(tracked.handle.descriptors());

            ProcessReading& reading = readings.emplace_back();
            reading.pid = pid;
            reading.ppid = stat->ppid;
            reading.kernelThread = stat->isKernelThread();
            reading.startTime = stat->startTicks;
            reading.cpuSeconds = static_cast<double>(stat->userTicks + stat->systemTicks) / ticks;
            if (fresh || stat->comm != tracked.comm) {
                tracked.path = m_root.executablePath(pid, *stat);
                tracked.comm = std::move(stat->comm);
            }
            reading.path = tracked.path;
            if (!reading.kernelThread) {
                // Private memory grows only by the process touching pages, which costs CPU time, so
                // the memory of a process that used none is still what was read, but for the kernel
                // swapping it out; every few reads take it afresh regardless.
                std::uint64_t cpuTicks = stat->userTicks + stat->systemTicks;
                if (fresh || cpuTicks != tracked.cpuTicks || ++tracked.idleReads >= idleReadsBeforeMemory) {
                    // Resident minus shared is the process's private memory, the closest match to
                    // a physical footprint that /proc gives without walking smaps.
                    auto statm = tracked.handle.statm(m_root, m_buffer);
                    tracked.memoryBytes = statm && statm->resident >= statm->shared
                                              ? (statm->resident - statm->shared) * page
                                              : 0;
                    tracked.idleReads = 0;
                }
                tracked.cpuTicks = cpuTicks;
                reading.memoryBytes = tracked.memoryBytes;
                if (fresh && m_applications) tracked.app = application(pid);
                reading.app = tracked.app;
            }
        }
        // Closes the descriptors of processes that are gone.
        std::erase_if(m_tracked, [&](const auto& entry) { return entry.second.generation != m_generation; });
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
    const bool m_applications;
    std::mutex m_mutex;  // guards everything below
    std::unordered_map<std::int32_t, Tracked> m_tracked;
    std::uint64_t m_generation = 0;  // the read that last saw each entry
    std::string m_buffer;            // scratch for file contents
};

}  // namespace

std::unique_ptr<ProcessSource> ProcessSource::live(bool applications) {
    return std::make_unique<LinuxProcessSource>("/proc", DesktopApps::defaultApplicationDirs(), applications);
}

std::unique_ptr<ProcessSource> ProcessSource::at(const std::string& root, std::vector<std::string> applicationDirs) {
    return std::make_unique<LinuxProcessSource>(root, std::move(applicationDirs), true);
}

}  // namespace tarvik
