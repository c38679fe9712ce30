#include "core/servers/ServerGroup.hpp"

#include <algorithm>
#include <unordered_map>

#include "core/servers/BindAddress.hpp"
#include "core/support/Unicode.hpp"

namespace tarvik {

namespace {

void sortByPort(std::vector<Server>& servers) {
    std::stable_sort(servers.begin(), servers.end(),
                     [](const Server& a, const Server& b) { return a.port < b.port; });
}

}  // namespace

int ServerGroup::displayCount() const {
    return static_cast<int>(PortMerger::merge(servers).size());
}

std::string Endpoint::text() const {
    return BindAddress::withPort(address, port);
}

std::string MergedServer::id() const {
    return std::to_string(primary.pid) + ":" + primary.kind.name;
}

std::vector<Endpoint> MergedServer::sockets() const {
    if (!endpoints.empty()) return endpoints;
    std::vector<Endpoint> own;
    for (auto& address : primary.boundAddresses()) own.push_back({std::move(address), primary.port});
    return own;
}

bool MergedServer::isExposedToNetwork() const {
    auto all = sockets();
    return std::any_of(all.begin(), all.end(),
                       [](const Endpoint& e) { return BindAddress::isExposed(e.address); });
}

std::string MergedServer::addressText() const {
    std::vector<std::string> addresses;
    for (auto& endpoint : sockets())
        if (std::find(addresses.begin(), addresses.end(), endpoint.address) == addresses.end())
            addresses.push_back(std::move(endpoint.address));
    return BindAddress::listText(addresses);
}

namespace ServerGrouper {

std::vector<ServerGroup> groups(const std::vector<Server>& servers) {
    std::vector<Server> services, system;
    // Buckets in order of first sighting, keyed by the canonical project name.
    std::vector<std::vector<Server>> buckets;
    std::unordered_map<std::string, std::size_t> bucketOf;
    for (const auto& server : servers) {
        if (server.category == ServerCategory::system) {
            system.push_back(server);
        } else if (!server.project) {
            services.push_back(server);
        } else {
            auto key = Unicode::lettersAndNumbersLowercased(*server.project);
            auto [it, inserted] = bucketOf.try_emplace(key, buckets.size());
            if (inserted) buckets.emplace_back();
            buckets[it->second].push_back(server);
        }
    }

    std::vector<ServerGroup> result;
    for (auto& bucket : buckets) {
        sortByPort(bucket);
        auto withBranch =
            std::find_if(bucket.begin(), bucket.end(), [](const Server& s) { return s.branch.has_value(); });
        const Server& named = withBranch != bucket.end() ? *withBranch : bucket.front();
        std::string title = named.project.value_or("");
        std::optional<std::string> branch = withBranch != bucket.end() ? withBranch->branch : std::nullopt;
        result.push_back({ServerGroup::Project{title}, title, branch, std::move(bucket)});
    }
    std::stable_sort(result.begin(), result.end(), [](const ServerGroup& a, const ServerGroup& b) {
        return Unicode::compareCaseInsensitive(a.title, b.title) < 0;
    });
    if (!services.empty()) {
        sortByPort(services);
        result.push_back({ServerGroup::Services{}, "Services", std::nullopt, std::move(services)});
    }
    if (!system.empty()) {
        sortByPort(system);
        result.push_back({ServerGroup::System{}, "System", std::nullopt, std::move(system)});
    }
    return result;
}

int rowCount(const std::vector<Server>& servers) {
    int rows = 0;
    for (const auto& group : groups(servers)) rows += group.displayCount();
    return rows;
}

}  // namespace ServerGrouper

namespace PortMerger {

std::vector<MergedServer> merge(const std::vector<Server>& servers) {
    std::vector<MergedServer> rows;
    std::unordered_map<std::string, std::size_t> rowOf;
    for (const auto& server : servers) {
        std::string key = std::to_string(server.pid) + ":" + server.kind.name;
        auto [it, inserted] = rowOf.try_emplace(key, rows.size());
        if (inserted) rows.push_back({server, {}, {}});
        MergedServer& row = rows[it->second];
        row.ports.push_back(server.port);
        for (auto& address : server.boundAddresses())
            row.endpoints.push_back({std::move(address), server.port});
    }
    for (auto& row : rows) {
        std::sort(row.ports.begin(), row.ports.end());
        std::stable_sort(row.endpoints.begin(), row.endpoints.end(),
                         [](const Endpoint& a, const Endpoint& b) { return a.port < b.port; });
    }
    return rows;
}

}  // namespace PortMerger

}  // namespace tarvik
