#include "cli/ServerJson.hpp"

#include "cli/CliSupport.hpp"
#include "core/support/Text.hpp"

namespace tarvik::cli {

nlohmann::ordered_json toJson(const Server& server, const HealthLabels* health) {
    nlohmann::ordered_json json;
    json["pid"] = server.pid;
    json["port"] = server.port;
    json["address"] = server.address;
    json["processName"] = server.processName;
    json["args"] = orNull(server.args);
    json["argv"] = nlohmann::ordered_json::array();
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
    json["appBundlePath"] = orNull(server.appBundlePath);
    json["containerImage"] = orNull(server.containerImage);
    json["containerName"] = orNull(server.containerName);
    json["processCount"] = orNull(server.processCount);
    json["id"] = server.id();
    json["url"] = server.url();
    json["isExposedToNetwork"] = server.isExposedToNetwork();
    if (health) {
        auto label = health->find(server.id());
        json["health"] =
            label == health->end() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(label->second);
    }
    return json;
}

nlohmann::ordered_json toJson(const std::vector<Server>& servers, const HealthLabels* health) {
    auto array = nlohmann::ordered_json::array();
    for (const auto& server : servers) array.push_back(toJson(server, health));
    return array;
}

nlohmann::ordered_json toJson(const std::vector<ServerGroup>& groups, const HealthLabels* health) {
    auto array = nlohmann::ordered_json::array();
    for (const auto& group : groups) {
        nlohmann::ordered_json json;
        json["title"] = group.title;
        json["kind"] = std::holds_alternative<ServerGroup::Project>(group.kind)    ? "project"
                       : std::holds_alternative<ServerGroup::Services>(group.kind) ? "services"
                                                                                   : "system";
        json["branch"] = orNull(group.branch);
        auto rows = nlohmann::ordered_json::array();
        for (const auto& row : PortMerger::merge(group.servers)) {
            auto server = toJson(row.primary, health);
            server["ports"] = row.ports;
            rows.push_back(std::move(server));
        }
        json["servers"] = std::move(rows);
        array.push_back(std::move(json));
    }
    return array;
}

}  // namespace tarvik::cli
