#include "cli/ListCommand.hpp"
#include "cli/CliSupport.hpp"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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
#include "core/support/Unicode.hpp"

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

// How long a command that shows one answer waits for Docker.
constexpr std::chrono::seconds containerWait{2};

std::string cpuText(const std::optional<double>& cpu) {
    return cpu ? fmt::format("{:.1f}%", *cpu) : "-";
}

}  // namespace

std::string portsText(const std::vector<int>& ports, std::size_t maxWidth) {
    struct Run {
        std::string text;
        std::size_t count = 0;
    };
    std::vector<Run> runs;  // consecutive ports read as one range
    for (std::size_t i = 0; i < ports.size();) {
        std::size_t j = i;
        while (j + 1 < ports.size() && ports[j + 1] == ports[j] + 1) ++j;
        std::string text = std::to_string(ports[i]);
        if (j > i) text += (j == i + 1 ? "," : "-") + std::to_string(ports[j]);
        runs.push_back({text, j - i + 1});
        i = j + 1;
    }
    std::string text;
    std::size_t shown = 0;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::string next = (text.empty() ? "" : ",") + runs[r].text;
        std::size_t rest = ports.size() - shown - runs[r].count;
        // Room is kept for the ",+N" that the ports left out would need.
        std::string more = rest > 0 ? ",+" + std::to_string(rest) : "";
        if (!text.empty() && text.size() + next.size() + more.size() > maxWidth) {
            return text + ",+" + std::to_string(ports.size() - shown);
        }
        text += next;
        shown += runs[r].count;
    }
    return text;
}

std::vector<Server> collectServers(double interval) {
    // The list shows no owners, a listing without an interval reads the processes once, and the
    // scan reads whole only the records of the listening processes and their descendants.
    auto processes = ProcessSampler::Sources::live(/*applications=*/false, /*repeated=*/interval > 0,
                                                   /*namesOnly=*/true);
    ProcessSampler sampler(processes);
    auto sources = PortScanner::Sources::live(/*rememberOwners=*/true);
    sources.complete = processes.complete;
    sources.containerWait = containerWait;
    if (interval == 0 && !sources.remembersOwners) {
        // Nothing to measure over time and nothing to learn for the next run: the processes
        // shown are all that is sampled, and every other is read for its sockets alone.
        if (auto listeners = PortScanner::listeners(sources, LibProc::allPids(), sampler))
            return PortScanner::scan(*listeners, sources);
    }
    // The socket owners are searched beside the first sample, and the containers asked for
    // during the wait, so that the scan finds both known.
    std::thread owners(sources.prepare);
    auto snapshot = sampler.sample();
    DockerCache::shared().refreshIfStale(PortScanner::containerEngineRunning(snapshot), containerWait);
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

// Rows are indented under their group's heading.
constexpr std::string_view indent = "  ";

// A container row names its container and image; any other row its command line.
std::string commandText(const Server& server) {
    if (server.containerName)
        return *server.containerName + (server.containerImage ? " (" + *server.containerImage + ")" : "");
    return server.displayCommand();
}

std::string heading(const ServerGroup& group) {
    return Unicode::visible(group.branch ? group.title + " · " + *group.branch : group.title);
}

// One row of the table and the group it is shown under.
struct TableRow {
    const ServerGroup& group;
    const MergedServer& merged;

    [[nodiscard]] const Server& server() const { return merged.primary; }
};

// A row shows the health of the first of its ports that answered.
std::string healthText(const TableRow& row, const ProbeOutcomes& probes) {
    for (const Server& server : row.group.servers) {
        if (server.pid != row.server().pid || server.kind != row.server().kind) continue;
        if (auto found = probes.find(server.id()); found != probes.end())
            if (auto label = HTTPProbe::label(found->second)) return *label;
    }
    return "-";
}

// One column: its header, how a row's cell reads, and how it gives way on a narrow terminal.
struct Column {
    std::string header;
    TableColumn fit;
    std::function<std::string(const TableRow&)> cell;
};

// The optional columns appear only when some row has something to show in them. On a narrow
// terminal the command line and the folder give way first and the kind and ports last; figures
// are dropped whole rather than cut.
std::vector<Column> serverColumns(bool branches, const ProbeOutcomes* health) {
    constexpr bool left = false, right = true;
    std::vector<Column> columns;
    columns.push_back({std::string(indent) + "KIND", {left, 100, 10}, [](const TableRow& row) {
                           return std::string(indent) + row.server().kind.name;
                       }});
    columns.push_back({"PORTS", {left, 90}, [](const TableRow& row) { return portsText(row.merged.ports); }});
    if (health)
        columns.push_back(
            {"HEALTH", {left, 45}, [health](const TableRow& row) { return healthText(row, *health); }});
    // Exposed addresses come first, so that a cut one still shows it.
    columns.push_back(
        {"ADDRESS", {left, 80, 15}, [](const TableRow& row) { return row.merged.addressText(); }});
    columns.push_back({"PID", {right, 70}, [](const TableRow& row) {
                           return row.server().pid > 0 ? std::to_string(row.server().pid) : std::string("-");
                       }});
    columns.push_back({"MEMORY", {right, 60}, [](const TableRow& row) {
                           return row.server().memoryLabel().value_or("-");
                       }});
    columns.push_back(
        {"CPU", {right, 50}, [](const TableRow& row) { return cpuText(row.server().cpuPercent); }});
    columns.push_back({"UPTIME", {right, 40}, [](const TableRow& row) {
                           return row.server().uptimeLabel().value_or("-");
                       }});
    columns.push_back({"DIRECTORY", {left, 20, 12}, [](const TableRow& row) {
                           return row.server().displayDirectory().value_or("-");
                       }});
    if (branches)
        columns.push_back(
            {"BRANCH", {left, 30, 10}, [](const TableRow& row) { return row.server().branch.value_or(""); }});
    columns.push_back(
        {"COMMAND", {left, 10, 12}, [](const TableRow& row) { return commandText(row.server()); }});
    return columns;
}

// The header and then every row, fitted to the width.
FittedTable fittedLines(const std::vector<Column>& columns, const std::vector<TableRow>& rows,
                        std::optional<int> width) {
    std::vector<std::vector<std::string>> cells(1);
    std::vector<TableColumn> fits;
    for (const Column& column : columns) {
        cells.front().emplace_back(column.header);
        fits.push_back(column.fit);
    }
    for (const TableRow& row : rows) {
        auto& line = cells.emplace_back();
        for (const Column& column : columns) line.push_back(column.cell(row));
    }
    return fittedTable(cells, fits, width);
}

// Colour is laid over the fitted line so that escape codes never count as columns; `kindWidth` is
// the first column's width as shown, indent included.
std::string withTintedKind(const std::string& line, const Server& server, std::size_t kindWidth) {
    std::string shown =
        Unicode::truncate(Unicode::visible(std::string(indent) + server.kind.name), kindWidth);
    if (!shown.starts_with(indent) || !line.starts_with(shown)) return line;
    return std::string(indent) + std::string(ansiColour(server.kind.tint)) + shown.substr(indent.size()) +
           "\x1b[0m" + line.substr(shown.size());
}

}  // namespace

ProbeOutcomes probeHealth(const std::vector<Server>& servers) {
    std::vector<const Server*> targets;
    std::vector<int> ports;
    for (const auto& server : servers) {
        if (!ServiceProtocols::isProbed(server)) continue;
        targets.push_back(&server);
        ports.push_back(server.port);
    }
    auto outcomes = PortProber::probeAll(ports, 1.0);
    ProbeOutcomes probes;
    for (std::size_t i = 0; i < targets.size(); ++i) probes.emplace(targets[i]->id(), outcomes[i]);
    return probes;
}

std::string renderServerTable(const std::vector<Server>& servers, bool all, const Terminal& terminal,
                              const ProbeOutcomes* health) {
    auto groups = shownGroups(servers, all);
    if (groups.empty()) {
        return all ? "No listening servers found among the processes this user can read.\n"
                   : "No dev servers are running. Use --all to include the system's listeners.\n";
    }
    std::vector<std::vector<MergedServer>> merged;
    for (const auto& group : groups) merged.push_back(PortMerger::merge(group.servers));
    // One table for every group, so that the columns line up across the headings.
    std::vector<TableRow> rows;
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (const auto& row : merged[g]) rows.push_back({groups[g], row});
    // A worktree on another branch than its project's heading shows its own in a column.
    bool branches = std::ranges::any_of(rows, [](const TableRow& row) {
        return row.server().branch && row.server().branch != row.group.branch;
    });
    auto table = fittedLines(serverColumns(branches, health), rows, terminal.width);
    const auto& lines = table.lines;

    auto bold = [&](const std::string& text) {
        return terminal.colour ? "\x1b[1m" + text + "\x1b[0m" : text;
    };
    std::string out = bold(lines.front()) + "\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TableRow& row = rows[i];
        if (i == 0 || &row.group != &rows[i - 1].group) {
            std::string title = heading(row.group);
            if (terminal.width)
                title = Unicode::truncate(title, static_cast<std::size_t>(std::max(*terminal.width, 1)));
            out += bold(title) + "\n";
        }
        const std::string& line = lines[i + 1];
        out += (terminal.colour ? withTintedKind(line, row.server(), table.widths.front()) : line) + "\n";
    }
    return out;
}

std::string footprintLine(const DevFootprint& footprint) {
    return "Servers and containers use " + ByteFormat::short_(footprint.devBytes()) + " (servers " +
           ByteFormat::short_(footprint.serversBytes) + ", containers " +
           ByteFormat::short_(footprint.containersBytes) + "); everything else " +
           ByteFormat::short_(footprint.otherBytes) + " of the " + ByteFormat::short_(footprint.usedBytes) +
           " in use.";
}

int runList(const ListOptions& options, std::ostream& out, std::ostream& err) {
    auto servers = collectServers(options.interval);
    if (DockerCache::shared().unanswered())
        err << "tarvik: Docker did not answer within " << containerWait.count()
            << " s; containers are not shown.\n";
    std::optional<ProbeOutcomes> probes;
    if (options.probe) probes = probeHealth(servers);
    const ProbeOutcomes* health = probes ? &*probes : nullptr;
    if (options.json && options.groups) {
        out << groupsJson(shownGroups(servers, options.all), health) << '\n';
    } else if (options.json) {
        std::vector<Server> shown;
        for (const auto& server : servers)
            if (options.all || server.category == ServerCategory::dev) shown.push_back(server);
        out << serversJson(shown, health) << '\n';
    } else {
        const Terminal terminal = Terminal::of(stdout);
        out << renderServerTable(servers, options.all, terminal, health);
        auto memory = SystemStats::memory();
        out << wrapped(footprintLine(DevFootprint::from(servers, memory.usedBytes, memory.totalBytes)),
                       terminal.width);
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
