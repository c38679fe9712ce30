#include "core/processes/ProcessSampler.hpp"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "core/platform/linux/DesktopApps.hpp"
#include "core/platform/linux/ProcFs.hpp"
#include "core/processes/InterpreterScript.hpp"
#include "core/support/Parallel.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

namespace {

// What is kept per live process between reads. The executable path is read again only when comm
// changes, which an exec always does; the systemd unit only at first sight.
struct Tracked {
    ProcHandle handle;
    std::uint64_t startTicks = 0;
    std::int32_t ppid = 0;
    bool kernelThread = false;
    std::int64_t threads = 0;
    std::optional<std::uint64_t> runtime;  // the main thread's, nanoseconds
    std::string comm;
    std::string path;
    std::optional<DesktopApp> app;
    std::optional<bool> systemService;
    std::optional<std::uint32_t> uid;
    std::vector<std::string> arguments;  // an interpreter's only
    std::uint64_t cpuTicks = 0;
    std::uint64_t memoryBytes = 0;
    int idleReads = 0;  // reads since memory was last read
    std::uint64_t generation = 0;
};

constexpr int idleReadsBeforeMemory = 10;
// Room for the descriptors kept for a machine of about a thousand processes.
constexpr std::size_t expectedDescriptors = 4096;

class LinuxProcessSource {
public:
    LinuxProcessSource(std::string root, std::vector<std::string> applicationDirs, bool applications,
                       bool keepFiles, bool namesOnly = false)
        : m_root(std::move(root)),
          m_directory(std::move(applicationDirs)),
          m_applications(applications),
          m_namesOnly(namesOnly),
          m_descriptorBudget(keepFiles ? ProcRoot::raiseDescriptorLimit() : 0) {
        if (m_root.isLive() && keepFiles)
            ProcRoot::reserveDescriptors(std::min(expectedDescriptors, m_descriptorBudget));
    }

    std::vector<ProcessReading> read() {
        std::lock_guard lock(m_mutex);
        ++m_generation;
        auto pids = m_root.pids();
        // A reader that keeps no files reads every stat file afresh, and the kernel serves
        // different processes in parallel; on cores that a walk for socket holders beside it
        // leaves, as the listing waits for that walk in any case.
        std::vector<std::optional<ProcFs::Stat>> ahead;
        if (m_descriptorBudget == 0) {
            ahead.resize(pids.size());
            parallelFor(
                pids.size(), 128, [&](std::size_t i, std::size_t) { ahead[i] = m_root.stat(pids[i]); },
                Cores::spare);
        }
        std::vector<ProcessReading> readings;
        readings.reserve(pids.size());
        std::size_t descriptors = 0;
        for (std::size_t index = 0; index < pids.size(); ++index) {
            auto reading = readOne(pids[index], &pids, ahead.empty() ? nullptr : &ahead[index], descriptors);
            if (reading) readings.push_back(std::move(*reading));
        }
        // Closes the descriptors of processes that are gone.
        std::erase_if(m_tracked, [&](const auto& entry) { return entry.second.generation != m_generation; });
        return readings;
    }

    // The given processes and their descendants, ascending by pid; nullopt where the kernel lists
    // no children. A process that ends meanwhile is left out, or keeps its children unread.
    std::optional<std::vector<ProcessReading>> readTrees(const std::vector<std::int32_t>& roots) {
        struct Ahead {
            std::optional<ProcFs::Stat> stat;
            std::optional<std::vector<std::int32_t>> children;
        };
        std::lock_guard lock(m_mutex);
        ++m_generation;
        std::vector<ProcessReading> readings;
        std::unordered_set<std::int32_t> seen(roots.begin(), roots.end());
        std::vector<std::int32_t> level(seen.begin(), seen.end());
        std::size_t descriptors = 0;
        // A level at a time: its files are read in parallel, as the kernel serves different
        // processes at once, and its records made in turn.
        while (!level.empty()) {
            std::vector<Ahead> ahead(level.size());
            parallelFor(level.size(), 16, [&](std::size_t i, std::size_t) {
                ahead[i].stat = m_root.stat(level[i]);
                if (ahead[i].stat) ahead[i].children = m_root.children(level[i], ahead[i].stat->threads == 1);
            });
            std::vector<std::int32_t> next;
            for (std::size_t i = 0; i < level.size(); ++i) {
                const std::int32_t pid = level[i];
                if (!ahead[i].stat) continue;                                     // gone
                if (!ahead[i].children && m_root.stat(pid)) return std::nullopt;  // there, yet unlisted
                auto reading = readOne(pid, nullptr, &ahead[i].stat, descriptors);
                if (!reading) continue;
                readings.push_back(std::move(*reading));
                for (std::int32_t child : ahead[i].children.value_or(std::vector<std::int32_t>{}))
                    if (seen.insert(child).second) next.push_back(child);
            }
            level = std::move(next);
        }
        std::sort(readings.begin(), readings.end(),
                  [](const ProcessReading& a, const ProcessReading& b) { return a.pid < b.pid; });
        return readings;
    }

    // Makes whole a record of the last names-only read: its path and memory. What that read
    // learnt of the process stands while its start stamp does; a process it did not see is read
    // afresh.
    void complete(ProcessRecord& record) {
        std::optional<std::string> comm;
        bool kernelThread = false;
        {
            std::lock_guard lock(m_mutex);
            auto found = m_tracked.find(record.pid);
            if (found != m_tracked.end() && found->second.startTicks == record.startTicks) {
                comm = found->second.comm;
                kernelThread = found->second.kernelThread;
            }
        }
        if (!comm) {
            auto stat = m_root.stat(record.pid);
            if (!stat) return;
            comm = std::move(stat->comm);
            kernelThread = stat->isKernelThread();
        }
        record.path = m_root.executablePath(record.pid, *comm, kernelThread);
        if (kernelThread) return;
        auto status = m_root.read(record.pid, "status");
        auto memory = status ? ProcFs::parseStatusMemory(*status) : std::nullopt;
        record.memoryBytes = memory ? memory->footprint() : 0;
    }

private:
    // The process's reading, its entry updated in place (this runs for every process on every
    // refresh); nullopt once it is gone. `everyone`, where the caller read the whole table, lets a
    // process whose parent is still there be passed over when it has not run. `ahead`, where given,
    // is its stat already read.
    std::optional<ProcessReading> readOne(std::int32_t pid, const std::vector<std::int32_t>* everyone,
                                          std::optional<ProcFs::Stat>* ahead, std::size_t& descriptors) {
        auto [it, fresh] = m_tracked.try_emplace(pid);
        Tracked& tracked = it->second;
        bool quiet = false;
        std::optional<std::uint64_t> runtime;
        if (!fresh) {
            // A single-threaded process whose thread has not run since the last read has
            // nothing new to read: no CPU time, no exec, no memory it touched. Only its parent
            // can change without it running, by exiting.
            runtime = tracked.handle.runtime(m_root, m_buffer);
            bool parentAlive =
                everyone &&
                (tracked.ppid <= 0 || std::binary_search(everyone->begin(), everyone->end(), tracked.ppid));
            quiet = tracked.threads == 1 && runtime && runtime == tracked.runtime && parentAlive;
        }
        if (quiet) {
            if (!tracked.kernelThread && ++tracked.idleReads >= idleReadsBeforeMemory) readMemory(tracked);
        } else if (!update(pid, tracked, fresh, runtime,
                           descriptors + ProcHandle::maxDescriptors <= m_descriptorBudget, ahead)) {
            m_tracked.erase(it);  // exited since the listing
            return std::nullopt;
        }
        tracked.generation = m_generation;
        descriptors += static_cast<std::size_t>(tracked.handle.descriptors());

        ProcessReading reading;
        reading.pid = pid;
        reading.ppid = tracked.ppid;
        reading.kernelThread = tracked.kernelThread;
        reading.startTime = tracked.startTicks;
        reading.cpuSeconds = static_cast<double>(tracked.cpuTicks) / m_ticksPerSecond;
        reading.path = tracked.path;
        reading.memoryBytes = tracked.memoryBytes;
        reading.app = tracked.app;
        reading.systemService = tracked.systemService;
        reading.uid = tracked.uid;
        reading.arguments = tracked.arguments;
        return reading;
    }

    // Reads the process afresh into `tracked`; false when it is gone. `runtime` was read before
    // stat, so that running in between shows as a change next time rather than going unseen.
    // `ahead`, where given, is the stat already read.
    bool update(std::int32_t pid, Tracked& tracked, bool& fresh, std::optional<std::uint64_t> runtime,
                bool keepOpen, std::optional<ProcFs::Stat>* ahead) {
        auto readStat = [&] { return ahead ? std::move(*ahead) : tracked.handle.stat(m_root, m_buffer); };
        std::optional<ProcFs::Stat> stat;
        if (!fresh) {
            stat = readStat();
            if (!stat || stat->startTicks != tracked.startTicks) {
                tracked = Tracked{};  // gone, or the pid now names another process
                fresh = true;
            }
        }
        if (fresh) {
            // Files of a fixture tree are replaced, not rewritten, so only /proc's are kept open.
            tracked.handle = ProcHandle(m_root, pid, m_root.isLive() && keepOpen);
            runtime.reset();  // asked from the next read on: a one-shot reader never needs it
            if (!stat) stat = readStat();
            if (!stat) return false;
            tracked.startTicks = stat->startTicks;
        }
        tracked.runtime = runtime;
        tracked.threads = stat->threads;
        tracked.ppid = stat->ppid;
        tracked.kernelThread = stat->isKernelThread();
        std::uint64_t cpuTicks = stat->userTicks + stat->systemTicks;
        if (fresh || stat->comm != tracked.comm) {
            tracked.path = m_namesOnly ? shortName(pid, *stat)
                                       : m_root.executablePath(pid, stat->comm, stat->isKernelThread());
            tracked.comm = std::move(stat->comm);
            readArguments(pid, tracked);
        }
        if (!tracked.kernelThread && !m_namesOnly) {
            // Private memory grows only by the process touching pages, which costs CPU time, so the
            // memory of a process that used none is still what was read, but for the kernel
            // swapping it out; every few reads take it afresh regardless.
            if (fresh || cpuTicks != tracked.cpuTicks || ++tracked.idleReads >= idleReadsBeforeMemory)
                readMemory(tracked, fresh && m_applications);
            if (fresh && m_applications) readPlacement(pid, tracked);
        }
        tracked.cpuTicks = cpuTicks;
        return true;
    }

    // The kernel keeps 15 bytes of a name: a name that long may be cut short, and a reader that
    // looks for a program by name (the container engine) would miss it, so it is read whole.
    std::string shortName(std::int32_t pid, const ProcFs::Stat& stat) const {
        constexpr std::size_t kept = 15;
        if (stat.isKernelThread()) return "[" + stat.comm + "]";
        if (stat.comm.empty() || stat.comm.size() >= kept)
            return m_root.executablePath(pid, stat.comm, stat.isKernelThread());
        return stat.comm;
    }

    // The closest match to a physical footprint that /proc gives without walking smaps.
    // The same file names the process's user, read along when `withUser`.
    void readMemory(Tracked& tracked, bool withUser = false) {
        auto memory = tracked.handle.memory(m_root, m_buffer);
        tracked.memoryBytes = memory ? memory->footprint() : 0;
        tracked.idleReads = 0;
        if (withUser && memory) tracked.uid = ProcFs::parseStatusUid(m_buffer);
    }

    // An interpreter's command line, read with its path: what it runs tells its processes apart.
    void readArguments(std::int32_t pid, Tracked& tracked) {
        tracked.arguments.clear();
        if (m_namesOnly || tracked.kernelThread ||
            !InterpreterScript::isInterpreter(Text::lastPathComponent(tracked.path)))
            return;
        if (auto cmdline = m_root.read(pid, "cmdline")) tracked.arguments = ProcFs::arguments(*cmdline);
    }

    // Where the process was started, which never changes: its desktop application, and whether it
    // is a service of the system.
    void readPlacement(std::int32_t pid, Tracked& tracked) {
        auto cgroup = m_root.read(pid, "cgroup");
        if (!cgroup) return;
        tracked.systemService = DesktopApps::systemService(*cgroup);
        if (auto unit = DesktopApps::unitApplication(*cgroup)) tracked.app = m_directory.lookup(*unit);
    }

    ProcRoot m_root;
    DesktopApps::Directory m_directory;
    const bool m_applications;
    const bool m_namesOnly;
    const std::size_t m_descriptorBudget;  // how many descriptors the kept handles may use
    const double m_ticksPerSecond = static_cast<double>(ProcRoot::clockTicksPerSecond());
    std::mutex m_mutex;  // guards everything below
    std::unordered_map<std::int32_t, Tracked> m_tracked;
    std::uint64_t m_generation = 0;  // the read that last saw each entry
    std::string m_buffer;            // scratch for file contents
};

}  // namespace

ProcessSampler::Sources ProcessSampler::Sources::live(bool applications, bool repeated, bool namesOnly) {
    auto source = std::make_shared<LinuxProcessSource>("/proc", DesktopApps::defaultApplicationDirs(),
                                                       applications, repeated, namesOnly);
    Sources sources{[source] { return source->read(); }, nullptr,
                    [source](const std::vector<std::int32_t>& roots) { return source->readTrees(roots); }};
    if (namesOnly) sources.complete = [source](ProcessRecord& record) { source->complete(record); };
    return sources;
}

ProcessSampler::Sources ProcessSampler::Sources::at(const std::string& root,
                                                    std::vector<std::string> applicationDirs) {
    auto source = std::make_shared<LinuxProcessSource>(root, std::move(applicationDirs), true, true);
    return {[source] { return source->read(); }, nullptr,
            [source](const std::vector<std::int32_t>& roots) { return source->readTrees(roots); }};
}

}  // namespace tarvik
