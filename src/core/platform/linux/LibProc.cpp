#include "core/platform/LibProc.hpp"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "core/platform/linux/OwnerCache.hpp"
#include "core/platform/linux/ProcFs.hpp"
#include "core/platform/linux/SocketOwners.hpp"
#include "core/platform/linux/SocketTable.hpp"
#include "core/platform/linux/TcpTraffic.hpp"
#include "core/servers/PortScanner.hpp"
#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"
#include "core/support/XdgDirs.hpp"

namespace tarvik::LibProc {

namespace {

std::vector<Socket> toSockets(const std::vector<ListeningSocket>& sockets) {
    std::vector<Socket> result;
    result.reserve(sockets.size());
    for (const auto& socket : sockets) result.push_back({socket.port, socket.address});
    return result;
}

std::optional<std::string> workingDirectoryIn(const ProcRoot& root, std::int32_t pid) {
    auto target = root.readLink(pid, "cwd");
    if (!target || target->empty()) return std::nullopt;
    return std::string(ProcFs::withoutDeletedMark(*target));
}

}  // namespace

std::vector<std::int32_t> allPids() {
    return ProcRoot().pids();
}

std::vector<ProcessRow> processTable() {
    ProcRoot root;
    auto pids = root.pids();
    std::vector<ProcessRow> rows;
    rows.reserve(pids.size());
    for (std::int32_t pid : pids) {
        if (auto stat = root.stat(pid)) rows.push_back({pid, stat->ppid, 0, 0, stat->startTicks});
    }
    return rows;
}

std::optional<std::string> path(std::int32_t pid) {
    ProcRoot root;
    auto stat = root.stat(pid);
    if (!stat) return std::nullopt;
    return root.executablePath(pid, stat->comm, stat->isKernelThread());
}

std::optional<std::int32_t> parentPid(std::int32_t pid) {
    auto stat = ProcRoot().stat(pid);
    if (!stat) return std::nullopt;
    return stat->ppid;
}

std::string userName(std::uint32_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
        return Text::repairUtf8(found->pw_name);
    return std::to_string(uid);
}

std::optional<std::uint32_t> ownerUid(std::int32_t pid) {
    auto status = ProcRoot().read(pid, "status");
    if (!status) return std::nullopt;
    return ProcFs::parseStatusUid(*status);
}

std::optional<Usage> usage(std::int32_t pid) {
    ProcRoot root;
    auto stat = root.stat(pid);
    if (!stat) return std::nullopt;
    Usage usage;
    usage.cpuSeconds = static_cast<double>(stat->userTicks + stat->systemTicks) /
                       static_cast<double>(ProcRoot::clockTicksPerSecond());
    if (auto text = root.read(pid, "status"))
        if (auto memory = ProcFs::parseStatusMemory(*text)) usage.footprintBytes = memory->footprint();
    if (auto text = root.read(pid, "io")) {
        if (auto io = ProcFs::parseIo(*text)) {
            usage.diskReadBytes = io->first;
            usage.diskWrittenBytes = io->second;
        }
    }
    return usage;
}

std::optional<std::int32_t> responsiblePid(std::int32_t) {
    return std::nullopt;  // Linux keeps no responsible process; the systemd unit names the app instead
}

std::optional<std::string> workingDirectory(std::int32_t pid) {
    return workingDirectoryIn(ProcRoot(), pid);
}

std::vector<Socket> listeningSockets(std::int32_t pid) {
    ProcRoot root;
    auto table = SocketTable::read(root);
    std::unordered_map<std::uint64_t, const ListeningSocket*> byInode;
    for (const auto& socket : table) byInode.emplace(socket.inode, &socket);
    std::vector<Socket> result;
    for (auto [fd, inode] : root.socketDescriptors(pid)) {
        if (auto it = byInode.find(inode); it != byInode.end())
            result.push_back({it->second->port, it->second->address});
    }
    return result;
}

std::optional<std::uint64_t> listenersFingerprint() {
    auto sockets = SocketTable::queryNetlink();
    if (!sockets) return std::nullopt;
    std::uint64_t fingerprint = sockets->size();
    for (const auto& socket : *sockets) {
        const std::uint64_t mixed =
            socket.inode * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(socket.port);
        fingerprint += mixed ^ (mixed >> 29);
    }
    return fingerprint;
}

std::optional<std::vector<SocketBytes>> socketBytes() {
    return TcpTraffic::read();
}

std::unordered_map<std::uint64_t, std::int32_t> socketHolders() {
    ProcRoot root;
    std::unordered_map<std::uint64_t, std::int32_t> holders;
    for (auto pid : root.pids())  // ascending, so the first holder found is the lowest pid
        for (const auto& [fd, inode] : root.socketDescriptors(pid)) holders.emplace(inode, pid);
    return holders;
}

}  // namespace tarvik::LibProc

namespace tarvik {

namespace {

// The listening processes are asked about on every scan; their files stay open and their command
// line is read again only after an exec (a new comm).
class InfoCache {
public:
    std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo> read(const ProcRoot& root,
                                                                      const std::vector<std::int32_t>& pids) {
        std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo> result;
        auto uptimeText = root.read("uptime");
        auto uptime = uptimeText ? ProcFs::parseUptime(*uptimeText) : std::nullopt;
        const double ticks = static_cast<double>(ProcRoot::clockTicksPerSecond());

        std::lock_guard lock(m_mutex);
        std::unordered_map<std::int32_t, Entry> next;
        for (std::int32_t pid : pids) {
            Entry entry;
            std::optional<ProcFs::Stat> stat;
            if (auto it = m_entries.find(pid); it != m_entries.end()) {
                entry = std::move(it->second);
                stat = entry.handle.stat(root, m_buffer);
            }
            if (!stat || stat->startTicks != entry.startTicks) {
                entry = Entry{ProcHandle(root, pid, true), 0, {}, {}};
                stat = entry.handle.stat(root, m_buffer);
                if (!stat) continue;  // gone
                entry.startTicks = stat->startTicks;
            }
            if (stat->comm != entry.comm || entry.args.empty()) {
                auto cmdline = root.read(pid, "cmdline");
                entry.argv = cmdline ? ProcFs::arguments(*cmdline) : std::vector<std::string>{};
                entry.args = !entry.argv.empty() ? ProcFs::commandLine(*cmdline) : "[" + stat->comm + "]";
                entry.comm = stat->comm;
            }
            // Memory and CPU are left out: the scan takes them from the process sample, which has
            // every listening process.
            EnrichmentParser::ProcInfo info;
            if (uptime)
                info.uptimeSeconds =
                    static_cast<int>(std::max(0.0, *uptime - static_cast<double>(stat->startTicks) / ticks));
            info.args = entry.args;
            info.argv = entry.argv;
            result.emplace(pid, std::move(info));
            next.emplace(pid, std::move(entry));
        }
        m_entries = std::move(next);
        return result;
    }

private:
    struct Entry {
        ProcHandle handle;
        std::uint64_t startTicks = 0;
        std::string comm;
        std::string args;
        std::vector<std::string> argv;
    };
    std::mutex m_mutex;  // guards m_entries and m_buffer
    std::unordered_map<std::int32_t, Entry> m_entries;
    std::string m_buffer;
};

}  // namespace

PortScanner::Sources PortScanner::Sources::live(bool rememberOwners) {
    // The memory of socket holders and of the listening processes' open files belongs to these
    // sources: a caller that keeps them scans steadily, a one-shot caller starts cold unless it
    // remembers across runs.
    auto root = std::make_shared<const ProcRoot>();
    auto owners = std::make_shared<SocketOwners>();
    auto info = std::make_shared<InfoCache>();
    struct Remembered {
        std::string folder;
        std::string boot;
        // As loaded, so that an unchanged memory is not written again.
        std::optional<SocketOwners::Memory> recalled;
    };
    std::shared_ptr<Remembered> remembered;
    if (rememberOwners) {
        auto runtime = XdgDirs::of(Paths::homeDirectory()).runtime;
        auto boot = OwnerCache::bootId();
        if (runtime && boot) remembered = std::make_shared<Remembered>(Remembered{*runtime, *boot, {}});
    }
    Sources sources;
    sources.remembersOwners = remembered != nullptr;
    sources.listeningSockets = [root, owners, remembered](const std::vector<LibProc::ProcessRef>& processes) {
        std::unordered_map<std::int32_t, std::vector<LibProc::Socket>> result;
        for (const auto& [pid, sockets] : owners->resolve(*root, SocketTable::read(*root), processes))
            result.emplace(pid, LibProc::toSockets(sockets));
        if (remembered) {
            // This run is over before the next begins, so it is left out, and a listing of a
            // steady machine then finds nothing to write.
            auto memory = owners->remembered();
            std::erase_if(memory.processes,
                          [self = getpid()](const auto& process) { return process.pid == self; });
            if (memory != remembered->recalled)
                (void)OwnerCache::save(remembered->folder, remembered->boot, memory);
        }
        return result;
    };
    sources.unownedSockets = [owners] {
        std::vector<UnownedSocket> sockets;
        for (const auto& socket : owners->unowned())
            sockets.push_back({socket.port, socket.address, LibProc::userName(socket.uid)});
        return sockets;
    };
    sources.prepare = [root, owners, remembered] {
        // What the last run learnt is checked by the scan against its sample, which knows every
        // process's start stamp; this pass has none to check it with.
        if (remembered) {
            if (auto memory = OwnerCache::load(remembered->folder, remembered->boot)) {
                remembered->recalled = memory;
                owners->recall(std::move(*memory));
                return;
            }
        }
        std::vector<LibProc::ProcessRef> processes;
        for (std::int32_t pid : root->pids()) processes.push_back({pid, 0, 0});
        (void)owners->resolve(*root, SocketTable::read(*root), processes);
    };
    sources.processInfo = [root, info](const std::vector<std::int32_t>& pids) {
        return info->read(*root, pids);
    };
    sources.workingDirectory = [root](std::int32_t pid) { return LibProc::workingDirectoryIn(*root, pid); };
    sources.home = Paths::homeDirectory();
    sources.git = &GitCache::shared();
    sources.docker = &DockerCache::shared();
    return sources;
}

}  // namespace tarvik
