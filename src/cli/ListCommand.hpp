#pragma once

#include <ostream>
#include <vector>

#include "cli/ServerJson.hpp"
#include "cli/Terminal.hpp"
#include "core/servers/DevFootprint.hpp"
#include "core/servers/Server.hpp"
#include "core/servers/ServerGroup.hpp"

namespace CLI {
class App;
}

namespace tarvik::cli {

struct ListOptions {
    double interval = 1.0;  // seconds between the two samples; 0 takes one
    bool all = false;       // include the operating system's listeners
    bool json = false;
    bool groups = false;  // with json: the grouped form
    bool probe = false;   // ask every HTTP server for its health
};

// Registers `list` on the app; the callback runs it into `out`.
void addListCommand(CLI::App& app, ListOptions& options);

// Samples, waits `interval`, samples again and scans; waits for Docker's containers 2 s at most.
[[nodiscard]] std::vector<Server> collectServers(double interval);

// The groups shown: every group, or all but "System" without `all`.
[[nodiscard]] std::vector<ServerGroup> shownGroups(const std::vector<Server>& servers, bool all);

// One block per group (heading with its branch, then a row per process and kind with all its
// ports and addresses), or a sentence when there is nothing to show. With a terminal width no line
// is wider: the least important columns are cut, then dropped (see fittedTable).
[[nodiscard]] std::string renderServerTable(const std::vector<Server>& servers, bool all,
                                            const Terminal& terminal, const ProbeOutcomes* health = nullptr);

// Probes the dev servers that are not databases, all at once (about one second), by server id.
[[nodiscard]] ProbeOutcomes probeHealth(const std::vector<Server>& servers);

// "Servers and containers use 1.2 GB (servers 1 GB, containers 200 MB); everything else ..."
[[nodiscard]] std::string footprintLine(const DevFootprint& footprint);

// Ascending ports as the PORTS column shows them, within `maxWidth` characters: runs of
// consecutive ports as ranges ("3000-3009"), and the ports that do not fit counted ("80,443,+7").
// The first run is always shown.
[[nodiscard]] std::string portsText(const std::vector<int>& ports, std::size_t maxWidth = 24);

// Says on `err` when Docker did not answer in time and the containers are left out.
int runList(const ListOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tarvik::cli
