#include "cli/ListCommand.hpp"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/ServerJson.hpp"
#include "core/LibProc.hpp"
#include "core/PortScanner.hpp"
#include "core/ProcessSampler.hpp"
#include "core/Text.hpp"
#include "core/Words.hpp"

namespace tarvik::cli {

namespace {

// An ANSI colour for each tint token, close to the views' palette.
std::string_view ansiColour(TintToken tint) {
    switch (tint) {
        case TintToken::yellow: return "\x1b[38;5;220m";
        case TintToken::amber: return "\x1b[38;5;214m";
        case TintToken::orange: return "\x1b[38;5;208m";
        case TintToken::red: return "\x1b[38;5;203m";
        case TintToken::pink: return "\x1b[38;5;211m";
        case TintToken::purple: return "\x1b[38;5;141m";
        case TintToken::indigo: return "\x1b[38;5;105m";
        case TintToken::blue: return "\x1b[38;5;75m";
        case TintToken::teal: return "\x1b[38;5;80m";
        case TintToken::emerald: return "\x1b[38;5;42m";
        case TintToken::green: return "\x1b[38;5;113m";
        case TintToken::slate: return "\x1b[38;5;247m";
    }
    return "";
}

std::string cpuText(const std::optional<double>& cpu) {
    return cpu ? fmt::format("{:.1f}%", *cpu) : "-";
}

}  // namespace

std::vector<Server> collectServers(double interval) {
    ProcessSampler sampler(ProcessSource::live(/*applications=*/false));  // the list shows no owners
    // The socket owners are searched beside the first sample (or during the wait), so that the
    // scan finds them known and only checks them.
    std::thread owners(LibProc::prepareListeningSockets);
    auto snapshot = sampler.sample();
    if (interval > 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(interval));
        snapshot = sampler.sample();
    }
    owners.join();
    return PortScanner::scan(snapshot);
}

std::string renderServerTable(const std::vector<Server>& servers, bool all, const Terminal& terminal) {
    std::vector<const Server*> shown;
    for (const auto& server : servers)
        if (all || server.category == ServerCategory::dev) shown.push_back(&server);
    if (shown.empty()) {
        return all ? Words::text("No listening servers found among the processes this user can read.\n")
                   : Words::text("No dev servers are running. Use --all to include the system's listeners.\n");
    }
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"KIND", "PORT", "ADDRESS", "PID", "MEMORY", "CPU", "UPTIME", "DIRECTORY", "COMMAND"});
    for (const Server* server : shown) {
        rows.push_back({server->kind.name, std::to_string(server->port), server->address, std::to_string(server->pid),
                        server->memoryLabel().value_or("-"), cpuText(server->cpuPercent),
                        server->uptimeLabel().value_or("-"), server->displayDirectory().value_or("-"),
                        server->args.value_or(server->processName)});
    }
    std::string table = alignedTable(rows, {false, true, false, true, true, true, true, false, false}, terminal.width);
    if (!terminal.colour) return table;

    // Colour is laid over the aligned text so that escape codes never count as columns.
    std::string coloured;
    std::size_t lineStart = 0;
    for (std::size_t row = 0; row < rows.size() && lineStart < table.size(); ++row) {
        std::size_t lineEnd = table.find('\n', lineStart);
        std::string line = table.substr(lineStart, lineEnd - lineStart);
        if (row == 0) {
            coloured += "\x1b[1m" + line + "\x1b[0m\n";
        } else {
            const Server* server = shown[row - 1];
            std::size_t nameLength = server->kind.name.size();
            coloured += std::string(ansiColour(server->kind.tint)) + line.substr(0, nameLength) + "\x1b[0m" +
                        line.substr(nameLength) + "\n";
        }
        lineStart = lineEnd + 1;
    }
    return coloured;
}

int runList(const ListOptions& options, std::ostream& out) {
    auto servers = collectServers(options.interval);
    if (options.json) {
        std::vector<Server> shown;
        for (const auto& server : servers)
            if (options.all || server.category == ServerCategory::dev) shown.push_back(server);
        out << toJson(shown).dump(2) << '\n';
        return 0;
    }
    out << renderServerTable(servers, options.all, Terminal::of(stdout));
    return 0;
}

void addListCommand(CLI::App& app, ListOptions& options) {
    auto* list = app.add_subcommand("list", "Show the servers listening on TCP ports");
    list->add_option("--interval", options.interval,
                     "Seconds between the two samples that make CPU a rate (0 takes a single sample)")
        ->check(CLI::Validator(
            [](const std::string& text) -> std::string {
                auto seconds = Text::parseDouble(text);
                return seconds && *seconds >= 0 && *seconds <= 60 ? "" : "takes seconds from 0 to 60, not " + text;
            },
            "SECONDS"))
        ->capture_default_str();
    list->add_flag("--all", options.all, "Include the operating system's own listeners");
    list->add_flag("--json", options.json, "Print the servers as a JSON array");
}

}  // namespace tarvik::cli
