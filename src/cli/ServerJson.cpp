#include "cli/ServerJson.hpp"

namespace tarvik::cli {

namespace {

void writeProbe(JsonText& json, const HTTPProbe::Outcome& outcome) {
    json.beginObject();
    json.key("outcome");
    if (const auto* http = std::get_if<HTTPProbe::Http>(&outcome)) {
        json.value("http");
        json.key("status");
        json.value(http->status);
        json.key("latencyMS");
        json.value(http->latencyMS);
    } else {
        json.value(std::holds_alternative<HTTPProbe::NotHTTP>(outcome) ? "notHTTP" : "unreachable");
    }
    json.endObject();
}

}  // namespace

void writeJson(JsonText& json, const Server& server, const ProbeOutcomes* probes) {
    json.beginObject();
    // A listener whose process cannot be seen has no pid: a script must not read it as pid 0.
    json.key("pid");
    json.value(server.pid > 0 ? std::optional(server.pid) : std::nullopt);
    json.key("port");
    json.value(server.port);
    json.key("address");
    json.textOrNull(server.address);
    json.key("processName");
    json.textOrNull(server.processName);
    json.key("args");
    json.value(server.args);
    json.key("argv");
    if (server.argv.empty())
        json.null();
    else
        json.value(server.argv);
    json.key("cwd");
    json.value(server.cwd);
    json.key("kind");
    json.beginObject();
    json.key("name");
    json.value(server.kind.name);
    json.key("symbol");
    json.value(server.kind.symbol);
    json.key("tint");
    json.value(rawValue(server.kind.tint));
    json.endObject();
    json.key("category");
    json.value(rawValue(server.category));
    json.key("memoryBytes");
    json.value(server.memoryBytes);
    json.key("cpuPercent");
    json.value(server.cpuPercent);
    json.key("uptimeSeconds");
    json.value(server.uptimeSeconds);
    json.key("branch");
    json.value(server.branch);
    json.key("project");
    json.value(server.project);
    json.key("desktopEntryPath");
    json.value(server.desktopEntryPath);
    json.key("containerImage");
    json.value(server.containerImage);
    json.key("containerName");
    json.value(server.containerName);
    json.key("processCount");
    json.value(server.processCount);
    json.key("user");
    json.value(server.user);
    json.key("id");
    json.value(server.id());
    json.key("url");
    json.value(server.url());
    json.key("isExposedToNetwork");
    json.value(server.isExposedToNetwork());
    json.key("addresses");
    json.value(server.boundAddresses());
    if (probes) {
        auto found = probes->find(server.id());
        std::optional<HTTPProbe::Outcome> outcome;
        if (found != probes->end()) outcome = found->second;
        json.key("probe");
        if (outcome)
            writeProbe(json, *outcome);
        else
            json.null();
        json.key("health");
        json.value(outcome ? HTTPProbe::label(*outcome) : std::nullopt);
        auto protocol = ServiceProtocols::of(server, outcome);
        json.key("protocol");
        json.value(std::holds_alternative<ServiceProtocols::Database>(protocol) ? "database"
                   : std::holds_alternative<ServiceProtocols::Http>(protocol)   ? "http"
                                                                                : "unknown");
    }
    json.endObject();
}

namespace {

void writeJson(JsonText& json, const std::vector<Server>& servers, const ProbeOutcomes* probes) {
    json.beginArray();
    for (const auto& server : servers) writeJson(json, server, probes);
    json.endArray();
}

}  // namespace

std::string serversJson(const std::vector<Server>& servers, const ProbeOutcomes* probes) {
    JsonText json;
    writeJson(json, servers, probes);
    return std::move(json).text();
}

std::string groupsJson(const std::vector<ServerGroup>& groups, const ProbeOutcomes* probes) {
    JsonText json;
    json.beginArray();
    for (const auto& group : groups) {
        json.beginObject();
        json.key("id");
        json.value(group.id());
        json.key("kind");
        json.value(std::holds_alternative<ServerGroup::Project>(group.kind)    ? "project"
                   : std::holds_alternative<ServerGroup::Services>(group.kind) ? "services"
                                                                               : "system");
        json.key("title");
        json.value(group.title);
        json.key("branch");
        json.value(group.branch);
        json.key("isSystem");
        json.value(group.isSystem());
        json.key("displayCount");
        json.value(group.displayCount());
        json.key("servers");
        writeJson(json, group.servers, probes);
        json.key("rows");
        json.beginArray();
        for (const auto& row : PortMerger::merge(group.servers)) {
            json.beginObject();
            json.key("id");
            json.value(row.id());
            json.key("server");
            json.value(row.primary.id());
            json.key("ports");
            json.beginArray();
            for (int port : row.ports) json.value(port);
            json.endArray();
            json.key("sockets");
            json.beginArray();
            for (const auto& endpoint : row.sockets()) json.value(endpoint.text());
            json.endArray();
            json.key("isExposedToNetwork");
            json.value(row.isExposedToNetwork());
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
    return std::move(json).text();
}

}  // namespace tarvik::cli
