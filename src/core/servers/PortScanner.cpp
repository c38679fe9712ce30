#include "core/servers/PortScanner.hpp"

#include <algorithm>
#include <set>
#include <thread>
#include <unordered_set>

#include "core/processes/ProcessTree.hpp"
#include "core/servers/BindAddress.hpp"
#include "core/servers/ServerClassifier.hpp"
#include "core/support/Parallel.hpp"
#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"

namespace tarvik::PortScanner {

void sort(std::vector<Server>& servers) {
    std::stable_sort(servers.begin(), servers.end(), [](const Server& a, const Server& b) {
        if (a.category != b.category) return a.category == ServerCategory::dev;
        if (a.port != b.port) return a.port < b.port;
        return a.pid < b.pid;
    });
}

std::vector<Server> scan(const ProcessSnapshot& snapshot) {
    return scan(snapshot, Sources::live());
}

namespace {

std::vector<Server> unownedServers(const Sources& sources) {
    std::vector<Server> servers;
    if (!sources.unownedSockets) return servers;
    // One row per port, as its id says, however many sockets and addresses.
    std::unordered_map<int, std::size_t> rowOf;
    for (auto& socket : sources.unownedSockets()) {
        auto [it, inserted] = rowOf.try_emplace(socket.port, servers.size());
        if (inserted) {
            Server& server = servers.emplace_back();
            server.port = socket.port;
            server.kind = ServerKind{"Hidden listener", "lock-fill", TintToken::slate};
            server.category = ServerCategory::system;
            server.user = socket.user;
        }
        auto& addresses = servers[it->second].addresses;
        if (std::find(addresses.begin(), addresses.end(), socket.address) == addresses.end())
            addresses.push_back(socket.address);
    }
    for (auto& server : servers) server.address = BindAddress::mostExposed(server.addresses);
    return servers;
}

using SocketsByPid = std::unordered_map<std::int32_t, std::vector<LibProc::Socket>>;

// The snapshot with the records of the listening processes and of their descendants made whole.
ProcessSnapshot completed(const ProcessSnapshot& sampled, const SocketsByPid& listening,
                          const std::function<void(ProcessRecord&)>& complete) {
    ProcessSnapshot whole = sampled;
    std::unordered_map<std::int32_t, std::vector<std::size_t>> byParent;
    std::unordered_map<std::int32_t, std::size_t> byPid;
    for (std::size_t i = 0; i < whole.records.size(); ++i) {
        byParent[whole.records[i].ppid].push_back(i);
        byPid.emplace(whole.records[i].pid, i);
    }
    std::vector<std::int32_t> pending;
    for (const auto& entry : listening) pending.push_back(entry.first);
    std::unordered_set<std::int32_t> done;
    std::vector<std::size_t> tree;
    while (!pending.empty()) {
        std::int32_t pid = pending.back();
        pending.pop_back();
        if (!done.insert(pid).second) continue;  // a pid reused while the table was read could loop
        if (auto found = byPid.find(pid); found != byPid.end()) tree.push_back(found->second);
        if (auto children = byParent.find(pid); children != byParent.end())
            for (std::size_t i : children->second) pending.push_back(whole.records[i].pid);
    }
    parallelFor(tree.size(), 32, [&](std::size_t i, std::size_t) { complete(whole.records[tree[i]]); });
    return whole;
}

// The scan, with the listening sockets of the snapshot's processes found.
std::vector<Server> scanWith(const ProcessSnapshot& sampled, const SocketsByPid& socketsByPid,
                             const Sources& sources) {
    // The listening processes' command lines are asked while the records are made whole, where
    // they must be.
    std::set<std::int32_t> listening;
    for (const auto& record : sampled.records)
        if (socketsByPid.contains(record.pid)) listening.insert(record.pid);
    std::vector<std::int32_t> pids(listening.begin(), listening.end());
    std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo> info;
    auto askInfo = [&] { info = sources.processInfo(pids); };
    ProcessSnapshot whole;
    std::optional<std::thread> asking;
    if (sources.complete) {
        if (!pids.empty()) asking.emplace(askInfo);
        whole = completed(sampled, socketsByPid, sources.complete);
    } else if (!pids.empty()) {
        askInfo();
    }
    std::unordered_map<std::int32_t, std::optional<std::string>> directories;
    for (std::int32_t pid : pids) directories.emplace(pid, sources.workingDirectory(pid));
    if (asking) asking->join();
    const ProcessSnapshot& snapshot = sources.complete ? whole : sampled;

    std::vector<ListeningPort> found;
    for (const auto& record : snapshot.records) {
        auto it = socketsByPid.find(record.pid);
        if (it == socketsByPid.end()) continue;
        for (const auto& socket : it->second)
            found.push_back({record.pid, std::string(record.name()), "", socket.port, socket.address});
    }
    auto ports = ListeningPort::deduplicated(found);
    auto hidden = unownedServers(sources);
    if (ports.empty()) return hidden;

    auto totals =
        ProcessTree::rollUp(snapshot.rows(), std::unordered_set<std::int32_t>(pids.begin(), pids.end()));
    auto records = snapshot.byPid();

    DockerCache::Contents containers;
    if (sources.docker) {
        // A snapshot of the listening processes' trees holds the engine's port publisher, not the engine.
        bool engine =
            containerEngineRunning(snapshot) || std::any_of(ports.begin(), ports.end(), [](const auto& port) {
                return DockerEngine::mayPublishForContainer(port.command);
            });
        sources.docker->refreshIfStale(engine, sources.containerWait);
        if (sources.containerWait) sources.docker->waitForRefresh();
        containers = sources.docker->current();
    }

    std::vector<Server> servers;
    servers.reserve(ports.size());
    for (const auto& port : ports) {
        auto infoIt = info.find(port.pid);
        const EnrichmentParser::ProcInfo* procInfo = infoIt == info.end() ? nullptr : &infoIt->second;
        auto recordIt = records.find(port.pid);
        const ProcessRecord* record = recordIt == records.end() ? nullptr : recordIt->second;
        const auto& cwd = directories[port.pid];

        // Every port came from a record of the snapshot, which measures memory and CPU over the
        // sample; the process info is for what the sample does not hold.
        std::optional<std::uint64_t> memory;
        std::optional<double> cpu;
        if (record) {
            memory = record->memoryBytes;
            cpu = record->cpuPercent;
        }
        std::optional<int> uptime = procInfo ? procInfo->uptimeSeconds : std::nullopt;
        std::optional<std::string> args = procInfo ? std::optional(procInfo->args) : std::nullopt;

        ProjectAndBranch place = sources.git ? sources.git->project(cwd) : ProjectAndBranch{};
        Server server = ServerClassifier::classify(port, args, cwd, memory, cpu, uptime, place.branch,
                                                   place.project, sources.home);
        if (procInfo) server.argv = procInfo->argv;
        if (record && record->owner.bundlePath && record->owner.bundlePath->ends_with(".desktop"))
            server.desktopEntryPath = record->owner.bundlePath;
        auto tree = totals.find(port.pid);
        if (server.category == ServerCategory::dev && tree != totals.end() &&
            !DockerEngine::mayPublishForContainer(server.processName)) {
            server.memoryBytes = static_cast<std::uint64_t>(tree->second.rssKB) * 1024;
            server.cpuPercent = tree->second.cpuPercent;
            server.processCount = tree->second.processCount;
        }
        servers.push_back(attributeDocker(server, containers.ports, containers.memory));
    }
    servers.insert(servers.end(), hidden.begin(), hidden.end());
    sort(servers);
    return servers;
}

}  // namespace

std::vector<Server> scan(const ProcessSnapshot& sampled, const Sources& sources) {
    std::vector<LibProc::ProcessRef> processes;
    processes.reserve(sampled.records.size());
    for (const auto& record : sampled.records)
        processes.push_back({record.pid, record.ppid, record.memoryBytes, record.startTicks});
    return scanWith(sampled, sources.listeningSockets(processes), sources);
}

std::vector<Server> scan(const Listeners& listeners, const Sources& sources) {
    return scanWith(listeners.snapshot, listeners.sockets, sources);
}

std::optional<Listeners> listeners(const Sources& sources, const std::vector<std::int32_t>& pids,
                                   ProcessSampler& sampler) {
    std::vector<LibProc::ProcessRef> everyone;
    everyone.reserve(pids.size());
    for (std::int32_t pid : pids) everyone.push_back({pid, 0, 0});
    auto sockets = sources.listeningSockets(everyone);
    std::vector<std::int32_t> holders;
    holders.reserve(sockets.size());
    for (const auto& entry : sockets) holders.push_back(entry.first);
    std::sort(holders.begin(), holders.end());
    auto snapshot = sampler.sampleTrees(holders);
    if (!snapshot) return std::nullopt;
    return Listeners{std::move(*snapshot), std::move(sockets)};
}

bool containerEngineRunning(const ProcessSnapshot& snapshot) {
    return std::any_of(snapshot.records.begin(), snapshot.records.end(), [](const ProcessRecord& record) {
        return DockerEngine::isEngineProcess(record.name());
    });
}

Server attributeDocker(const Server& server, const ContainerPorts& ports, const ContainerMemory& memory) {
    if (!DockerEngine::mayPublishForContainer(server.processName)) return server;
    auto found = ports.find(server.port);
    if (found == ports.end()) return server;
    const DockerContainer& container = found->second;
    Server attributed = server;
    if (auto kind = ServerClassifier::devKind(container.service.value_or("") + " " + container.image))
        attributed.kind = *kind;
    attributed.category = ServerCategory::dev;
    attributed.project = container.appLabel();
    attributed.containerImage = container.image;
    attributed.containerName = container.name;
    if (auto used = memory.find(container.name); used != memory.end()) attributed.memoryBytes = used->second;
    return attributed;
}

}  // namespace tarvik::PortScanner
