#include "cli/ServerJson.hpp"

#include "cli/CliSupport.hpp"
#include "core/support/Text.hpp"

namespace tarvik::cli {

namespace {

nlohmann::ordered_json probeJson(const HTTPProbe::Outcome& outcome) {
    if (const auto* http = std::get_if<HTTPProbe::Http>(&outcome))
        return {{"outcome", "http"}, {"status", http->status}, {"latencyMS", http->latencyMS}};
    return {{"outcome", std::holds_alternative<HTTPProbe::NotHTTP>(outcome) ? "notHTTP" : "unreachable"}};
}

}  // namespace

nlohmann::ordered_json toJson(const Server& server, const ProbeOutcomes* probes) {
    nlohmann::ordered_json json;
    // A listener whose process cannot be seen has no pid: a script must not read it as pid 0.
    json["pid"] = server.pid > 0 ? nlohmann::ordered_json(server.pid) : nlohmann::ordered_json(nullptr);
    json["port"] = server.port;
    json["address"] = textOrNull(server.address);
    json["processName"] = textOrNull(server.processName);
    json["args"] = orNull(server.args);
    json["argv"] = nullptr;
    for (const auto& argument : server.argv) json["argv"].push_back(Text::repairUtf8(argument));
    json["cwd"] = orNull(server.cwd);
    json["kind"] = {{"name", server.kind.name},
                    {"symbol", server.kind.symbol},
                    {"tint", std::string(rawValue(server.kind.tint))}};
    json["category"] = std::string(rawValue(server.category));
    json["memoryBytes"] = orNull(server.memoryBytes);
    json["cpuPercent"] = orNull(server.cpuPercent);
    json["uptimeSeconds"] = orNull(server.uptimeSeconds);
    json["branch"] = orNull(server.branch);
    json["project"] = orNull(server.project);
    json["desktopEntryPath"] = orNull(server.desktopEntryPath);
    json["containerImage"] = orNull(server.containerImage);
    json["containerName"] = orNull(server.containerName);
    json["processCount"] = orNull(server.processCount);
    json["user"] = orNull(server.user);
    json["id"] = server.id();
    json["url"] = server.url();
    json["isExposedToNetwork"] = server.isExposedToNetwork();
    json["addresses"] = server.boundAddresses();
    if (probes) {
        auto found = probes->find(server.id());
        std::optional<HTTPProbe::Outcome> outcome;
        if (found != probes->end()) outcome = found->second;
        json["probe"] = outcome ? probeJson(*outcome) : nlohmann::ordered_json(nullptr);
        json["health"] = outcome ? orNull(HTTPProbe::label(*outcome)) : nlohmann::ordered_json(nullptr);
        auto protocol = ServiceProtocols::of(server, outcome);
        json["protocol"] = std::holds_alternative<ServiceProtocols::Database>(protocol) ? "database"
                           : std::holds_alternative<ServiceProtocols::Http>(protocol)   ? "http"
                                                                                        : "unknown";
    }
    return json;
}

nlohmann::ordered_json toJson(const std::vector<Server>& servers, const ProbeOutcomes* probes) {
    auto array = nlohmann::ordered_json::array();
    for (const auto& server : servers) array.push_back(toJson(server, probes));
    return array;
}

nlohmann::ordered_json toJson(const std::vector<ServerGroup>& groups, const ProbeOutcomes* probes) {
    auto array = nlohmann::ordered_json::array();
    for (const auto& group : groups) {
        nlohmann::ordered_json json;
        json["id"] = group.id();
        json["kind"] = std::holds_alternative<ServerGroup::Project>(group.kind)    ? "project"
                       : std::holds_alternative<ServerGroup::Services>(group.kind) ? "services"
                                                                                   : "system";
        json["title"] = group.title;
        json["branch"] = orNull(group.branch);
        json["isSystem"] = group.isSystem();
        json["displayCount"] = group.displayCount();
        json["servers"] = toJson(group.servers, probes);
        auto rows = nlohmann::ordered_json::array();
        for (const auto& row : PortMerger::merge(group.servers)) {
            auto sockets = nlohmann::ordered_json::array();
            for (const auto& endpoint : row.sockets()) sockets.push_back(endpoint.text());
            rows.push_back({{"id", row.id()},
                            {"server", row.primary.id()},
                            {"ports", row.ports},
                            {"sockets", std::move(sockets)},
                            {"isExposedToNetwork", row.isExposedToNetwork()}});
        }
        json["rows"] = std::move(rows);
        array.push_back(std::move(json));
    }
    return array;
}

}  // namespace tarvik::cli
