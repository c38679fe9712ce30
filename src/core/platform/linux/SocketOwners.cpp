#include "core/platform/linux/SocketOwners.hpp"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <tuple>

#include "core/platform/linux/ProcFs.hpp"
#include "core/support/Parallel.hpp"

namespace tarvik {

namespace {

bool stillHolds(const ProcRoot& root, const SocketOwners::Holder& holder, std::uint64_t inode) {
    auto target = root.readLink(holder.pid, "fd/" + std::to_string(holder.fd));
    return target && ProcFs::socketInode(*target) == inode;
}

// The same process: the pid is there and neither side's start stamp says otherwise.
bool sameProcess(const std::unordered_map<std::int32_t, std::uint64_t>& stamps, std::int32_t pid,
                 std::uint64_t startTicks) {
    auto found = stamps.find(pid);
    return found != stamps.end() && (found->second == 0 || startTicks == 0 || found->second == startTicks);
}

struct Found {
    std::int32_t pid;
    int fd;
    std::uint64_t inode;
};

// The sockets a walk looks for, so that it stops once each has a holder.
class Wanted {
public:
    explicit Wanted(const std::vector<std::uint64_t>& inodes) : m_found(inodes.size()) {
        for (std::uint64_t inode : inodes) m_slots.emplace(inode, m_slots.size());
        m_remaining = m_slots.size();
    }

    // Called from any worker for each listening descriptor it finds.
    void seen(std::uint64_t inode) {
        auto slot = m_slots.find(inode);
        if (slot != m_slots.end() && !m_found[slot->second].exchange(true)) --m_remaining;
    }
    [[nodiscard]] bool complete() const { return m_remaining.load() == 0; }

private:
    std::unordered_map<std::uint64_t, std::size_t> m_slots;
    std::vector<std::atomic<bool>> m_found;
    std::atomic<std::size_t> m_remaining{0};
};

// The listening descriptors of the given processes, in the order of `pids` so that holders are
// listed the same way whoever found them, and which processes were walked. Reading thousands of
// descriptor links is the dearest part of a first scan and the kernel serves different processes
// in parallel. With `wanted`, the processes not yet taken up are passed over once it is complete.
std::vector<Found> walkDescriptors(const ProcRoot& root, const std::vector<std::int32_t>& pids,
                                   const std::unordered_map<std::uint64_t, const ListeningSocket*>& listening,
                                   Wanted* wanted, std::vector<bool>& walked) {
    std::vector<std::vector<Found>> perProcess(pids.size());
    std::vector<char> done(pids.size(), 0);  // written by different workers, so not vector<bool>
    parallelFor(pids.size(), 64, [&](std::size_t i, std::size_t) {
        if (wanted && wanted->complete()) return;
        for (auto [fd, inode] : root.socketDescriptors(pids[i])) {
            if (!listening.contains(inode)) continue;
            perProcess[i].push_back({pids[i], fd, inode});
            if (wanted) wanted->seen(inode);
        }
        done[i] = 1;
    });
    walked.assign(done.begin(), done.end());
    std::vector<Found> found;
    for (const auto& list : perProcess) found.insert(found.end(), list.begin(), list.end());
    return found;
}

}  // namespace

void SocketOwners::takeUp(const Memory& memory, const Stamps& live) {
    // Only what a live process of the same start stamp vouches for; a stamp of 0 proves nothing.
    auto vouched = [&](std::int32_t pid, std::uint64_t startTicks) {
        auto found = live.find(pid);
        return startTicks != 0 && found != live.end() && found->second == startTicks;
    };
    for (const auto& entry : memory.holders)
        if (vouched(entry.holder.pid, entry.holder.startTicks))
            m_holders[entry.inode].push_back(entry.holder);
    for (const auto& process : memory.processes) {
        if (!vouched(process.pid, process.startTicks)) continue;
        m_knownPids[process.pid] = process.startTicks;
        if (process.walked) m_walkedPids[process.pid] = process.startTicks;
    }
    m_unfound.insert(memory.unfound.begin(), memory.unfound.end());
    m_primed = true;
}

std::unordered_map<std::int32_t, std::vector<ListeningSocket>> SocketOwners::resolve(
    const ProcRoot& root, const std::vector<ListeningSocket>& table,
    const std::vector<LibProc::ProcessRef>& processes) {
    std::unordered_map<std::uint64_t, const ListeningSocket*> listening;
    for (const auto& socket : table) listening.emplace(socket.inode, &socket);

    Stamps live;
    for (const auto& process : processes) live.emplace(process.pid, process.startTicks);

    std::lock_guard lock(m_mutex);
    if (m_recalled) {
        takeUp(*m_recalled, live);
        m_recalled.reset();
    }
    std::unordered_map<std::uint64_t, std::vector<Holder>> holders;
    std::unordered_set<std::int32_t> holdingPids;
    for (auto& [inode, known] : m_holders) {
        if (!listening.contains(inode)) continue;
        for (const auto& holder : known) {
            if (sameProcess(live, holder.pid, holder.startTicks) && stillHolds(root, holder, inode)) {
                holders[inode].push_back({holder.pid, holder.fd, live.at(holder.pid)});
                holdingPids.insert(holder.pid);
            }
        }
    }

    // A socket of another user is closed to us unless we are root; walking for it is useless.
    const bool privileged = geteuid() == 0;
    auto searchable = [&](std::uint64_t inode) {
        return privileged || listening.at(inode)->uid == geteuid();
    };
    std::erase_if(m_unfound, [&](std::uint64_t inode) { return !listening.contains(inode); });
    bool someUnfound = std::any_of(m_unfound.begin(), m_unfound.end(), searchable);

    std::unordered_set<std::int32_t> walked;
    auto walk = [&](const std::vector<std::int32_t>& pids, Wanted* wanted = nullptr) {
        std::vector<std::int32_t> fresh;
        for (std::int32_t pid : pids)
            if (!walked.contains(pid)) fresh.push_back(pid);
        std::vector<bool> done;
        auto found = walkDescriptors(root, fresh, listening, wanted, done);
        for (std::size_t i = 0; i < fresh.size(); ++i)
            if (done[i]) walked.insert(fresh[i]);
        for (const auto& entry : found) {
            auto& list = holders[entry.inode];
            Holder holder{entry.pid, entry.fd, live.at(entry.pid)};
            if (std::find(list.begin(), list.end(), holder) == list.end()) list.push_back(holder);
            holdingPids.insert(entry.pid);
        }
    };

    // A holder's parent or child may share its sockets: a forked worker inherits them, and a
    // worker may be found first where it is the larger. A caller that knows only pids gives no
    // parents; then a holder's own files name its parent and children, read once each and only
    // while some process is still unwalked.
    std::unordered_map<std::int32_t, std::int32_t> parentOf;
    std::unordered_set<std::int32_t> unrelated;  // given without a parent, and not read yet
    for (const auto& process : processes) {
        if (process.startTicks != 0)
            parentOf.emplace(process.pid, process.ppid);
        else
            unrelated.insert(process.pid);
    }
    std::unordered_set<std::int32_t> holdersParents;
    auto relativeHolds = [&](const LibProc::ProcessRef& process) {
        auto parent = parentOf.find(process.pid);
        return (parent != parentOf.end() && holdingPids.contains(parent->second)) ||
               holdersParents.contains(process.pid);
    };
    // Asked again after each walk, as it finds holders.
    auto findHoldersParents = [&] {
        holdersParents.clear();
        for (std::int32_t pid : holdingPids) {
            if (unrelated.erase(pid)) {
                auto stat = root.stat(pid);
                if (stat) parentOf.emplace(pid, stat->ppid);
                for (std::int32_t child :
                     root.children(pid, stat && stat->threads == 1).value_or(std::vector<std::int32_t>{}))
                    parentOf.emplace(child, pid);
            }
            if (auto parent = parentOf.find(pid); parent != parentOf.end() && parent->second > 0)
                holdersParents.insert(parent->second);
        }
    };
    auto everyoneWalked = [&] {
        return std::all_of(processes.begin(), processes.end(),
                           [&](const LibProc::ProcessRef& process) { return walked.contains(process.pid); });
    };

    // Rounds, so that a worker forked by a worker that is new as well is found in the same call. A
    // known relative of a holder that was never walked is walked too: a first pass may have
    // stopped before it.
    while (m_primed && !everyoneWalked()) {
        findHoldersParents();
        std::vector<std::int32_t> newcomers;
        for (const auto& process : processes) {
            if (walked.contains(process.pid)) continue;
            if (sameProcess(m_knownPids, process.pid, process.startTicks)) {
                if (sameProcess(m_walkedPids, process.pid, process.startTicks) || !relativeHolds(process))
                    continue;
            } else if (!someUnfound && !relativeHolds(process)) {
                continue;
            }
            newcomers.push_back(process.pid);
        }
        if (newcomers.empty()) break;
        walk(newcomers);
    }
    auto missing = [&](const ListeningSocket& socket) {
        return !holders.contains(socket.inode) && !m_unfound.contains(socket.inode) &&
               searchable(socket.inode);
    };
    std::vector<std::uint64_t> sought;
    for (const auto& socket : table)
        if (missing(socket)) sought.push_back(socket.inode);
    if (!sought.empty() || !m_primed) {
        // Servers hold memory and idle helpers do not, so the largest processes are walked first
        // and the walk stops once every socket has a holder. The other holders of a shared socket
        // are its holders' parents and children, walked in the rounds below.
        std::vector<const LibProc::ProcessRef*> order;
        order.reserve(processes.size());
        for (const auto& process : processes)
            if (!walked.contains(process.pid)) order.push_back(&process);
        std::stable_sort(order.begin(), order.end(),
                         [](const auto* a, const auto* b) { return a->memoryBytes > b->memoryBytes; });
        std::vector<std::int32_t> pids;
        pids.reserve(order.size());
        for (const auto* process : order) pids.push_back(process->pid);
        Wanted wanted(sought);
        walk(pids, &wanted);
        while (!everyoneWalked()) {
            findHoldersParents();
            std::vector<std::int32_t> relatives;
            for (const auto& process : processes)
                if (!walked.contains(process.pid) && relativeHolds(process)) relatives.push_back(process.pid);
            if (relatives.empty()) break;
            walk(relatives);
        }
    }
    m_unowned.clear();
    for (const auto& socket : table) {
        if (!holders.contains(socket.inode)) {
            m_unfound.insert(socket.inode);
            m_unowned.push_back(socket);
        } else {
            m_unfound.erase(socket.inode);
        }
    }

    m_lastWalkCount = walked.size();
    m_holders = holders;
    std::erase_if(m_walkedPids,
                  [&](const auto& entry) { return !sameProcess(live, entry.first, entry.second); });
    for (std::int32_t pid : walked) m_walkedPids[pid] = live.at(pid);
    m_knownPids = std::move(live);
    m_primed = true;

    std::unordered_map<std::int32_t, std::vector<std::pair<int, const ListeningSocket*>>> byPid;
    for (const auto& [inode, list] : holders) {
        for (const auto& holder : list) byPid[holder.pid].emplace_back(holder.fd, listening.at(inode));
    }
    std::unordered_map<std::int32_t, std::vector<ListeningSocket>> result;
    for (auto& [pid, entries] : byPid) {
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        auto& sockets = result[pid];
        for (const auto& entry : entries) sockets.push_back(*entry.second);
    }
    return result;
}

std::vector<ListeningSocket> SocketOwners::unowned() const {
    std::lock_guard lock(m_mutex);
    return m_unowned;
}

std::size_t SocketOwners::lastWalkCount() const {
    std::lock_guard lock(m_mutex);
    return m_lastWalkCount;
}

SocketOwners::Memory SocketOwners::remembered() const {
    std::lock_guard lock(m_mutex);
    Memory memory;
    for (const auto& [inode, list] : m_holders)
        for (const auto& holder : list)
            if (holder.startTicks != 0) memory.holders.push_back({inode, holder});
    for (const auto& [pid, startTicks] : m_knownPids)
        if (startTicks != 0)
            memory.processes.push_back({pid, startTicks, sameProcess(m_walkedPids, pid, startTicks)});
    memory.unfound.assign(m_unfound.begin(), m_unfound.end());
    // In order, so that an unchanged state compares equal to what was recalled.
    std::sort(memory.holders.begin(), memory.holders.end(), [](const auto& a, const auto& b) {
        return std::tie(a.inode, a.holder.pid, a.holder.fd) < std::tie(b.inode, b.holder.pid, b.holder.fd);
    });
    std::sort(memory.processes.begin(), memory.processes.end(),
              [](const auto& a, const auto& b) { return a.pid < b.pid; });
    std::sort(memory.unfound.begin(), memory.unfound.end());
    return memory;
}

void SocketOwners::recall(Memory memory) {
    std::lock_guard lock(m_mutex);
    m_recalled = std::move(memory);
}

}  // namespace tarvik
