#pragma once

#include <nlohmann/json.hpp>
#include <vector>

#include "core/Server.hpp"

namespace tarvik::cli {

// A server with its documented member names, absent values as null, plus id, url and
// isExposedToNetwork. The kind is an object {name, symbol, tint}; the category "dev" or "system".
[[nodiscard]] nlohmann::ordered_json toJson(const Server& server);
[[nodiscard]] nlohmann::ordered_json toJson(const std::vector<Server>& servers);

}  // namespace tarvik::cli
