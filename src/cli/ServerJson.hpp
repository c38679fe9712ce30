#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/servers/Server.hpp"
#include "core/servers/ServerGroup.hpp"

namespace tarvik::cli {

// A server with its documented member names, absent values as null, plus id, url and
// isExposedToNetwork. The kind is an object {name, symbol, tint}; the category "dev" or "system".
// Health labels by server id ("200 · 12ms"); with a map, every server gets `health` (null when
// it was not probed or did not answer HTTP).
using HealthLabels = std::unordered_map<std::string, std::string>;

[[nodiscard]] nlohmann::ordered_json toJson(const Server& server, const HealthLabels* health = nullptr);
[[nodiscard]] nlohmann::ordered_json toJson(const std::vector<Server>& servers,
                                            const HealthLabels* health = nullptr);

// Groups as {title, kind ("project", "services" or "system"), branch, servers}, each server a
// merged row: its primary server's members plus `ports`.
[[nodiscard]] nlohmann::ordered_json toJson(const std::vector<ServerGroup>& groups,
                                            const HealthLabels* health = nullptr);

}  // namespace tarvik::cli
