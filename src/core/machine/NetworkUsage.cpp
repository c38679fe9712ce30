#include "core/machine/NetworkUsage.hpp"

#include <algorithm>
#include <atomic>
#include <map>
#include <optional>
#include <thread>
#include <unordered_set>

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

TrafficSample difference(const std::vector<SocketBytes>& before, const std::vector<SocketBytes>& after,
                         const std::vector<SocketBytes>& closed,
                         const std::unordered_map<std::uint64_t, std::int32_t>& owners,
                         const std::function<std::string(std::int32_t)>& nameOf) {
    std::unordered_map<std::uint64_t, std::uint64_t> inodeOf;  // cookie -> inode at `before`
    for (const auto& socket : before)
        if (socket.cookie != 0) inodeOf.emplace(socket.cookie, socket.inode);
    std::unordered_set<std::uint64_t> stillOpen;
    for (const auto& socket : after)
        if (socket.cookie != 0) stillOpen.insert(socket.cookie);
    // A socket open at `before` reads as if `after` had caught it just before it closed.
    std::vector<SocketBytes> last = after;
    ShortConnections shortConnections;
    for (const auto& socket : closed) {
        if (socket.cookie != 0 && stillOpen.contains(socket.cookie)) continue;
        if (auto found = socket.cookie != 0 ? inodeOf.find(socket.cookie) : inodeOf.end();
            found != inodeOf.end()) {
            last.push_back({found->second, socket.bytesIn, socket.bytesOut, socket.cookie});
            continue;
        }
        ++shortConnections.count;
        shortConnections.bytesIn += socket.bytesIn;
        shortConnections.bytesOut += socket.bytesOut;
    }
    return {difference(before, last, owners, nameOf), shortConnections, true};
}

TrafficSample watch(const std::function<void()>& wait, bool countClosed) {
    std::optional<LibProc::SocketCloseWatch> closing;
    if (countClosed) closing.emplace();
    const bool counting = closing && closing->watching();
    TrafficSample refused{{}, {}, counting};
    auto before = LibProc::socketBytes();
    if (!before) return refused;
    // A socket that closes during the interval is in no descriptor table afterwards, so its
    // holder is looked up now as well.
    std::unordered_map<std::uint64_t, std::int32_t> owners;
    if (counting) owners = LibProc::socketHolders();
    std::vector<SocketBytes> closed;
    std::atomic<bool> done{false};
    std::thread reader;
    if (counting)
        reader = std::thread([&] {
            while (!done) closing->poll(50, closed);
        });
    wait();
    auto after = LibProc::socketBytes();
    done = true;
    if (reader.joinable()) reader.join();
    if (!after) return refused;
    if (counting) {
        // The kernel sends its notices from a work queue, a moment after the close: those of
        // sockets closed before the second reading may still be on their way.
        for (int round = 0; round < 4; ++round) {
            auto had = closed.size();
            closing->poll(25, closed);
            if (closed.size() == had) break;
        }
    }
    // Holders are looked up after the second reading so that sockets opened during the interval
    // are found too.
    for (const auto& [inode, pid] : LibProc::socketHolders()) owners.insert_or_assign(inode, pid);
    auto nameOf = [](std::int32_t pid) -> std::string {
        auto path = LibProc::path(pid);
        return path ? std::string(Text::lastPathComponent(*path)) : std::string();
    };
    if (!counting) return {difference(*before, *after, owners, nameOf), {}, false};
    return difference(*before, *after, closed, owners, nameOf);
}

std::vector<ProcessTraffic> sample(const std::function<void()>& wait) {
    return watch(wait, false).rows;
}

std::vector<ProcessTraffic> sample() {
    return sample([] { std::this_thread::sleep_for(std::chrono::seconds(1)); });
}

}  // namespace tarvik::NetworkUsage
