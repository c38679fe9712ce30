#pragma once

#include <nlohmann/json.hpp>
#include <vector>

#include "core/Server.hpp"
#include "core/ServerGroup.hpp"

namespace tarvik::cli {

// A server with its documented member names, absent values as null, plus id, url and
// isExposedToNetwork. The kind is an object {name, symbol, tint}; the category "dev" or "system".
[[nodiscard]] nlohmann::ordered_json toJson(const Server& server);
[[nodiscard]] nlohmann::ordered_json toJson(const std::vector<Server>& servers);

// Groups as {title, kind ("project", "services" or "system"), branch, servers}, each server a
// merged row: its primary server's members plus `ports`.
[[nodiscard]] nlohmann::ordered_json toJson(const std::vector<ServerGroup>& groups);

}  // namespace tarvik::cli
