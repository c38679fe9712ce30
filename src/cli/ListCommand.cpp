#include "cli/ListCommand.hpp"
#include "cli/CliSupport.hpp"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/ServerJson.hpp"
#include "core/machine/SystemVitals.hpp"
#include "core/platform/LibProc.hpp"
#include "core/platform/SystemSensors.hpp"
#include "core/processes/ProcessSampler.hpp"
#include "core/servers/DevFootprint.hpp"
#include "core/servers/PortScanner.hpp"
#include "core/servers/Probe.hpp"
#include "core/servers/ServerGroup.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/Text.hpp"
#include "core/support/Words.hpp"

namespace tarvik::cli {

namespace {

// An ANSI colour for each tint token, close to the views' palette.
std::string_view ansiColour(TintToken tint) {
    switch (tint) {
        case TintToken::yellow:
            return "\x1b[38;5;220m";
        case TintToken::amber:
            return "\x1b[38;5;214m";
        case TintToken::orange:
            return "\x1b[38;5;208m";
        case TintToken::red:
            return "\x1b[38;5;203m";
        case TintToken::pink:
            return "\x1b[38;5;211m";
        case TintToken::purple:
            return "\x1b[38;5;141m";
        case TintToken::indigo:
            return "\x1b[38;5;105m";
        case TintToken::blue:
            return "\x1b[38;5;75m";
        case TintToken::teal:
            return "\x1b[38;5;80m";
        case TintToken::emerald:
            return "\x1b[38;5;42m";
        case TintToken::green:
            return "\x1b[38;5;113m";
        case TintToken::slate:
            return "\x1b[38;5;247m";
    }
    return "";
}

std::string cpuText(const std::optional<double>& cpu) {
    return cpu ? fmt::format("{:.1f}%", *cpu) : "-";
}

}  // namespace

std::vector<Server> collectServers(double interval) {
    ProcessSampler sampler(
        ProcessSampler::Sources::live(/*applications=*/false));  // the list shows no owners
    // The socket owners are searched beside the first sample, and the containers asked for
    // during the wait, so that the scan finds both known.
    auto sources = PortScanner::Sources::live();
    std::thread owners(sources.prepare);
    auto snapshot = sampler.sample();
    DockerCache::shared().refreshIfStale(PortScanner::containerEngineRunning(snapshot));
    if (interval > 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(interval));
        snapshot = sampler.sample();
    }
    owners.join();
    DockerCache::shared().waitForRefresh();  // one answer, so it waits for the containers
    return PortScanner::scan(snapshot, sources);
}

std::vector<ServerGroup> shownGroups(const std::vector<Server>& servers, bool all) {
    auto groups = ServerGrouper::groups(servers);
    if (!all) std::erase_if(groups, [](const ServerGroup& group) { return group.isSystem(); });
    return groups;
}

namespace {

std::string portsText(const std::vector<int>& ports) {
    std::string text;
    for (int port : ports) text += (text.empty() ? "" : ",") + std::to_string(port);
    return text;
}

// A container row names its container and image; any other row its command line.
std::string commandText(const Server& server) {
    if (server.containerName)
        return *server.containerName + (server.containerImage ? " (" + *server.containerImage + ")" : "");
    return server.args.value_or(server.processName);
}

std::string heading(const ServerGroup& group) {
    return group.branch ? group.title + " · " + *group.branch : group.title;
}

}  // namespace

HealthLabels probeHealth(const std::vector<Server>& servers) {
    std::vector<const Server*> http;
    std::vector<int> ports;
    for (const auto& server : servers) {
        if (!std::holds_alternative<ServiceProtocols::Http>(ServiceProtocols::of(server))) continue;
        http.push_back(&server);
        ports.push_back(server.port);
    }
    auto outcomes = PortProber::probeAll(ports, 1.0);
    HealthLabels labels;
    for (std::size_t i = 0; i < http.size(); ++i)
        if (auto label = HTTPProbe::label(outcomes[i])) labels.emplace(http[i]->id(), *label);
    return labels;
}

std::string renderServerTable(const std::vector<Server>& servers, bool all, const Terminal& terminal,
                              const HealthLabels* health) {
    auto groups = shownGroups(servers, all);
    if (groups.empty()) {
        return all ? Words::text("No listening servers found among the processes this user can read.\n")
                   : Words::text(
                         "No dev servers are running. Use --all to include the system's listeners.\n");
    }
    std::vector<std::vector<MergedServer>> merged;
    for (const auto& group : groups) merged.push_back(PortMerger::merge(group.servers));
    // A worktree on another branch than its project's heading shows its own in a column.
    bool branches = false;
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (const auto& row : merged[g])
            branches = branches || (row.primary.branch && row.primary.branch != groups[g].branch);

    // One table for every group, so that the columns line up across the headings.
    std::vector<std::vector<std::string>> rows;
    std::vector<const MergedServer*> rowServers{nullptr};
    rows.push_back({"  KIND", "PORTS", "ADDRESS", "PID", "MEMORY", "CPU", "UPTIME", "DIRECTORY", "COMMAND"});
    if (branches) rows.back().insert(rows.back().end() - 1, "BRANCH");
    if (health) rows.back().insert(rows.back().begin() + 2, "HEALTH");
    for (std::size_t g = 0; g < groups.size(); ++g) {
        for (const auto& row : merged[g]) {
            const Server& server = row.primary;
            rows.push_back({"  " + server.kind.name, portsText(row.ports), server.address,
                            std::to_string(server.pid), server.memoryLabel().value_or("-"),
                            cpuText(server.cpuPercent), server.uptimeLabel().value_or("-"),
                            server.displayDirectory().value_or("-"), commandText(server)});
            if (branches) rows.back().insert(rows.back().end() - 1, server.branch.value_or(""));
            if (health) {
                // A row shows the health of the first of its ports that answered.
                std::string label = "-";
                for (const auto& s : groups[g].servers) {
                    auto found =
                        s.pid == server.pid && s.kind == server.kind ? health->find(s.id()) : health->end();
                    if (found != health->end()) {
                        label = found->second;
                        break;
                    }
                }
                rows.back().insert(rows.back().begin() + 2, label);
            }
            rowServers.push_back(&row);
        }
    }
    std::vector<bool> rightAligned{false, false, false, true, true, true, true, false, false};
    if (branches) rightAligned.push_back(false);
    if (health) rightAligned.insert(rightAligned.begin() + 2, false);
    std::string table = alignedTable(rows, rightAligned, terminal.width);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < table.size();) {
        std::size_t end = table.find('\n', at);
        lines.push_back(table.substr(at, end - at));
        at = end + 1;
    }

    auto bold = [&](const std::string& text) {
        return terminal.colour ? "\x1b[1m" + text + "\x1b[0m" : text;
    };
    std::string out = bold(lines[0]) + "\n";
    std::size_t line = 1;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        out += bold(heading(groups[g])) + "\n";
        for (std::size_t r = 0; r < merged[g].size(); ++r, ++line) {
            const Server& server = rowServers[line]->primary;
            if (!terminal.colour) {
                out += lines[line] + "\n";
                continue;
            }
            // Colour is laid over the aligned text so that escape codes never count as columns.
            std::size_t nameEnd = 2 + server.kind.name.size();
            out += lines[line].substr(0, 2) + std::string(ansiColour(server.kind.tint)) +
                   lines[line].substr(2, nameEnd - 2) + "\x1b[0m" + lines[line].substr(nameEnd) + "\n";
        }
    }
    return out;
}

std::string footprintLine(const DevFootprint& footprint) {
    return Words::text("Servers and containers use " + ByteFormat::short_(footprint.devBytes()) +
                       " (servers " + ByteFormat::short_(footprint.serversBytes) + ", containers " +
                       ByteFormat::short_(footprint.containersBytes) + "); everything else " +
                       ByteFormat::short_(footprint.otherBytes) + " of the " +
                       ByteFormat::short_(footprint.usedBytes) + " in use.");
}

int runList(const ListOptions& options, std::ostream& out) {
    auto servers = collectServers(options.interval);
    std::optional<HealthLabels> labels;
    if (options.probe) labels = probeHealth(servers);
    const HealthLabels* health = labels ? &*labels : nullptr;
    if (options.json && options.groups) {
        out << toJson(shownGroups(servers, options.all), health).dump(2) << '\n';
    } else if (options.json) {
        std::vector<Server> shown;
        for (const auto& server : servers)
            if (options.all || server.category == ServerCategory::dev) shown.push_back(server);
        out << toJson(shown, health).dump(2) << '\n';
    } else {
        out << renderServerTable(servers, options.all, Terminal::of(stdout), health);
        auto memory = SystemStats::memory();
        out << footprintLine(DevFootprint::from(servers, memory.usedBytes, memory.totalBytes)) << '\n';
    }
    return 0;
}

void addListCommand(CLI::App& app, ListOptions& options) {
    auto* list = app.add_subcommand("list", "Show the servers listening on TCP ports");
    list->add_option("--interval", options.interval,
                     "Seconds between the two samples that make CPU a rate (0 takes a single sample)")
        ->check(seconds(true))
        ->capture_default_str();
    list->add_flag("--all", options.all, "Include the operating system's own listeners");
    auto* json = list->add_flag("--json", options.json, "Print the servers as a JSON array");
    list->add_flag("--probe", options.probe,
                   "Ask every HTTP server for its status and latency (one second at most)");
    list->add_flag("--groups", options.groups,
                   "With --json, print the groups the panel shows, rows merged per process")
        ->needs(json);
}

}  // namespace tarvik::cli
