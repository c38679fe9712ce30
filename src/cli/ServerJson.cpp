#include "cli/ServerJson.hpp"

namespace tarvik::cli {

namespace {

void writeProbe(JsonText& json, const HTTPProbe::Outcome& outcome) {
    json.beginObject();
    json.key("outcome");
    if (const auto* http = std::get_if<HTTPProbe::Http>(&outcome)) {
        json.value("http");
        json.field("status", http->status);
        json.field("latencyMS", http->latencyMS);
    } else {
        json.value(std::holds_alternative<HTTPProbe::NotHTTP>(outcome) ? "notHTTP" : "unreachable");
    }
    json.endObject();
}

}  // namespace

void writeJson(JsonText& json, const Server& server, const ProbeOutcomes* probes) {
    json.beginObject();
    // A listener whose process cannot be seen has no pid: a script must not read it as pid 0.
    json.field("pid", server.pid > 0 ? std::optional(server.pid) : std::nullopt);
    json.field("port", server.port);
    json.key("address");
    json.textOrNull(server.address);
    json.key("processName");
    json.textOrNull(server.processName);
    json.field("args", server.args);
    json.key("argv");
    if (server.argv.empty())
        json.null();
    else
        json.value(server.argv);
    json.field("cwd", server.cwd);
    json.key("kind");
    json.beginObject();
    json.field("name", server.kind.name);
    json.field("symbol", server.kind.symbol);
    json.field("tint", rawValue(server.kind.tint));
    json.endObject();
    json.field("category", rawValue(server.category));
    json.field("memoryBytes", server.memoryBytes);
    json.field("cpuPercent", server.cpuPercent);
    json.field("uptimeSeconds", server.uptimeSeconds);
    json.field("branch", server.branch);
    json.field("project", server.project);
    json.field("desktopEntryPath", server.desktopEntryPath);
    json.field("containerImage", server.containerImage);
    json.field("containerName", server.containerName);
    json.field("processCount", server.processCount);
    json.field("user", server.user);
    json.field("id", server.id());
    json.field("url", server.url());
    json.field("isExposedToNetwork", server.isExposedToNetwork());
    json.field("addresses", server.boundAddresses());
    if (probes) {
        auto found = probes->find(server.id());
        std::optional<HTTPProbe::Outcome> outcome;
        if (found != probes->end()) outcome = found->second;
        json.key("probe");
        if (outcome)
            writeProbe(json, *outcome);
        else
            json.null();
        json.field("health", outcome ? HTTPProbe::label(*outcome) : std::nullopt);
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
        json.field("id", group.id());
        json.key("kind");
        json.value(std::holds_alternative<ServerGroup::Project>(group.kind)    ? "project"
                   : std::holds_alternative<ServerGroup::Services>(group.kind) ? "services"
                                                                               : "system");
        json.field("title", group.title);
        json.field("branch", group.branch);
        json.field("isSystem", group.isSystem());
        json.field("displayCount", group.displayCount());
        json.key("servers");
        writeJson(json, group.servers, probes);
        json.key("rows");
        json.beginArray();
        for (const auto& row : PortMerger::merge(group.servers)) {
            json.beginObject();
            json.field("id", row.id());
            json.field("server", row.primary.id());
            json.key("ports");
            json.beginArray();
            for (int port : row.ports) json.value(port);
            json.endArray();
            json.key("sockets");
            json.beginArray();
            for (const auto& endpoint : row.sockets()) json.value(endpoint.text());
            json.endArray();
            json.field("isExposedToNetwork", row.isExposedToNetwork());
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
    return std::move(json).text();
}

}  // namespace tarvik::cli
