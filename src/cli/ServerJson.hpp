#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "cli/JsonText.hpp"
#include "core/servers/Probe.hpp"
#include "core/servers/Server.hpp"
#include "core/servers/ServerGroup.hpp"

namespace tarvik::cli {

// A server with its documented member names, absent values as null, plus id, url,
// isExposedToNetwork and addresses (every address it listens on, in order of first sighting). The kind is an
// object {name, symbol, tint}; the category "dev" or "system". Probe outcomes by server id. With a map, every
// server gets `probe` ({outcome: "http", "notHTTP" or "unreachable", status and latencyMS for http}; null
// when it was not probed), `health` (the label "200 · 12ms", null unless it answered HTTP) and `protocol`
// ("database", "http" or "unknown"; an unknown kind that answered HTTP reads "http").
using ProbeOutcomes = std::unordered_map<std::string, HTTPProbe::Outcome>;

void writeJson(JsonText& json, const Server& server, const ProbeOutcomes* health = nullptr);
// A JSON array of servers, without a final newline.
[[nodiscard]] std::string serversJson(const std::vector<Server>& servers,
                                      const ProbeOutcomes* health = nullptr);

// Groups as {id, kind ("project", "services" or "system"), title, branch, isSystem, displayCount,
// servers (every server of the group, full records), rows (the merged rows: id "PID:KIND", server
// (the primary server's id), ports, sockets ("127.0.0.1:3000", "[::1]:3000", "*:3001") and
// isExposedToNetwork, true when any socket is)}.
[[nodiscard]] std::string groupsJson(const std::vector<ServerGroup>& groups,
                                     const ProbeOutcomes* health = nullptr);

}  // namespace tarvik::cli
