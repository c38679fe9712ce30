#include "core/machine/NetworkUsage.hpp"

#include <algorithm>
#include <map>
#include <optional>
#include <thread>

#include "core/platform/LibProc.hpp"
#include "core/support/Text.hpp"

namespace tarvik::NetworkUsage {

void rank(std::vector<ProcessTraffic>& rows) {
    std::erase_if(rows, [](const ProcessTraffic& row) { return row.total() == 0; });
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ProcessTraffic& a, const ProcessTraffic& b) { return a.total() > b.total(); });
}

std::vector<ProcessTraffic> difference(const std::vector<SocketBytes>& before,
                                       const std::vector<SocketBytes>& after,
                                       const std::unordered_map<std::uint64_t, std::int32_t>& owners,
                                       const std::function<std::string(std::int32_t)>& nameOf) {
    std::unordered_map<std::uint64_t, const SocketBytes*> earlier;
    for (const auto& socket : before) earlier.emplace(socket.inode, &socket);
    std::map<std::int32_t, ProcessTraffic> perPid;  // ordered, so that equal totals come out by pid
    for (const auto& socket : after) {
        auto owner = owners.find(socket.inode);
        if (owner == owners.end()) continue;
        std::uint64_t in = socket.bytesIn, out = socket.bytesOut;
        if (auto found = earlier.find(socket.inode); found != earlier.end()) {
            // Counters only grow; a smaller one is a new socket that took a freed inode.
            if (in >= found->second->bytesIn && out >= found->second->bytesOut) {
                in -= found->second->bytesIn;
                out -= found->second->bytesOut;
            }
        }
        auto& row = perPid[owner->second];
        row.pid = owner->second;
        row.bytesIn += in;
        row.bytesOut += out;
    }
    std::vector<ProcessTraffic> rows;
    for (auto& [pid, row] : perPid) {
        if (row.total() == 0) continue;
        row.name = nameOf(pid);
        rows.push_back(std::move(row));
    }
    rank(rows);
    return rows;
}

std::vector<ProcessTraffic> sample(const std::function<void()>& wait) {
    auto before = LibProc::socketBytes();
    if (!before) return {};
    wait();
    auto after = LibProc::socketBytes();
    if (!after) return {};
    // Holders are looked up after the second reading so that sockets opened during the interval
    // are found too.
    return difference(*before, *after, LibProc::socketHolders(), [](std::int32_t pid) -> std::string {
        auto path = LibProc::path(pid);
        return path ? std::string(Text::lastPathComponent(*path)) : std::string();
    });
}

std::vector<ProcessTraffic> sample() {
    return sample([] { std::this_thread::sleep_for(std::chrono::seconds(1)); });
}

}  // namespace tarvik::NetworkUsage
