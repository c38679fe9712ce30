#include "core/servers/DevFootprint.hpp"

#include <algorithm>
#include <unordered_set>

#include "core/servers/ServerGroup.hpp"

namespace tarvik {

DevFootprint DevFootprint::from(const std::vector<Server>& servers, std::uint64_t usedMemory,
                                std::uint64_t totalMemory) {
    std::vector<Server> processes, containers;
    for (const Server& server : servers) {
        if (server.category != ServerCategory::dev) continue;
        (server.containerName ? containers : processes).push_back(server);
    }
    DevFootprint footprint;
    footprint.serversBytes = uniqueBytes(processes);
    footprint.containersBytes = uniqueBytes(containers);
    std::uint64_t dev = footprint.devBytes();
    footprint.otherBytes = usedMemory > dev ? usedMemory - dev : 0;
    footprint.usedBytes = usedMemory;
    footprint.totalBytes = totalMemory;
    return footprint;
}

std::uint64_t DevFootprint::uniqueBytes(const std::vector<Server>& servers) {
    std::unordered_set<std::string> seen;
    std::uint64_t total = 0;
    for (const Server& server : servers) {
        std::string key =
            server.containerName ? "c:" + *server.containerName : "p:" + std::to_string(server.pid);
        if (seen.insert(std::move(key)).second) total += server.memoryBytes.value_or(0);
    }
    return total;
}

std::vector<ProjectUsage> ProjectUsage::from(const std::vector<Server>& servers) {
    std::vector<ProjectUsage> usages;
    for (const ServerGroup& group : ServerGrouper::groups(servers)) {
        if (group.isSystem()) continue;
        usages.push_back({group.title, DevFootprint::uniqueBytes(group.servers),
                          static_cast<int>(PortMerger::merge(group.servers).size())});
    }
    std::stable_sort(usages.begin(), usages.end(),
                     [](const ProjectUsage& a, const ProjectUsage& b) { return a.bytes > b.bytes; });
    return usages;
}

}  // namespace tarvik
