#include "core/platform/linux/SocketOwners.hpp"

#include <unistd.h>

#include <algorithm>
#include <string>

#include "core/platform/linux/ProcFs.hpp"

namespace tarvik {

namespace {

bool stillHolds(const ProcRoot& root, const SocketOwners::Holder& holder, std::uint64_t inode) {
    auto target = root.readLink(holder.pid, "fd/" + std::to_string(holder.fd));
    return target && ProcFs::socketInode(*target) == inode;
}

}  // namespace

std::unordered_map<std::int32_t, std::vector<ListeningSocket>> SocketOwners::resolve(
    const ProcRoot& root, const std::vector<ListeningSocket>& table,
    const std::vector<LibProc::ProcessRef>& processes) {
    std::unordered_map<std::uint64_t, const ListeningSocket*> listening;
    for (const auto& socket : table) listening.emplace(socket.inode, &socket);

    std::unordered_set<std::int32_t> live;
    for (const auto& process : processes) live.insert(process.pid);

    std::lock_guard lock(m_mutex);
    std::unordered_map<std::uint64_t, std::vector<Holder>> holders;
    std::unordered_set<std::int32_t> holdingPids;
    for (auto& [inode, known] : m_holders) {
        if (!listening.contains(inode)) continue;
        for (const auto& holder : known) {
            if (live.contains(holder.pid) && stillHolds(root, holder, inode)) {
                holders[inode].push_back(holder);
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
    auto walk = [&](std::int32_t pid) {
        if (!walked.insert(pid).second) return;
        for (auto [fd, inode] : root.socketDescriptors(pid)) {
            if (!listening.contains(inode)) continue;
            auto& list = holders[inode];
            Holder holder{pid, fd};
            if (std::find(list.begin(), list.end(), holder) == list.end()) list.push_back(holder);
            holdingPids.insert(pid);
        }
    };

    if (m_primed) {
        for (const auto& process : processes) {
            if (m_knownPids.contains(process.pid)) continue;
            if (someUnfound || holdingPids.contains(process.ppid)) walk(process.pid);
        }
    }
    bool unknown = false;
    for (const auto& socket : table) {
        if (!holders.contains(socket.inode) && !m_unfound.contains(socket.inode) && searchable(socket.inode))
            unknown = true;
    }
    if (unknown || !m_primed) {
        for (const auto& process : processes) walk(process.pid);
    }
    for (const auto& socket : table) {
        if (!holders.contains(socket.inode)) m_unfound.insert(socket.inode);
        else m_unfound.erase(socket.inode);
    }

    m_lastWalkCount = walked.size();
    m_holders = holders;
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

std::size_t SocketOwners::lastWalkCount() const {
    std::lock_guard lock(m_mutex);
    return m_lastWalkCount;
}

SocketOwners& SocketOwners::shared() {
    static SocketOwners instance;
    return instance;
}

}  // namespace tarvik
