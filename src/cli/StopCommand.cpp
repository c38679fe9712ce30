#include "cli/StopCommand.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "cli/ListCommand.hpp"
#include "core/servers/FreedCopy.hpp"
#include "core/servers/ProcessControl.hpp"
#include "core/servers/ServerClassifier.hpp"
#include "core/servers/StopAction.hpp"
#include "core/support/Unicode.hpp"
#include "core/support/Words.hpp"

namespace tarvik::cli {

namespace {

constexpr auto settleTime = std::chrono::milliseconds(1500);

bool isContainer(const Server& server) {
    return server.containerName && !server.containerName->empty();
}

std::vector<Server> matching(const std::vector<Server>& servers, std::int64_t target) {
    std::vector<Server> found;
    for (const auto& server : servers)
        if (server.port == target) found.push_back(server);
    if (found.empty())
        for (const auto& server : servers)
            if (server.pid == target) found.push_back(server);
    return found;
}

}  // namespace

CLI::App* addStopCommand(CLI::App& app, StopOptions& options) {
    auto* stop = app.add_subcommand("stop", "Stop the server on a port, or the servers of a process");
    stop->add_option("target", options.target, "A port, or a process id when no server listens on that port")
        ->required()
        ->check(CLI::Range(std::int64_t{1}, std::int64_t{4194304}));
    stop->add_flag("--force", options.force, "Kill at once instead of asking the process to quit");
    return stop;
}

int runStop(const StopOptions& options, std::ostream& out, std::ostream& err) {
    auto servers = collectServers(0);
    auto targets = matching(servers, options.target);
    if (targets.empty()) {
        err << "tarvik: no server listens on port " << options.target << " and none runs as process "
            << options.target << ".\n";
        return 1;
    }

    ProcessControl control;
    // Several rows of one process (or one container) are stopped once.
    std::vector<Server> stopped;
    std::set<std::string> done;
    int status = 0;
    for (const auto& server : targets) {
        std::string key =
            isContainer(server) ? "container:" + *server.containerName : std::to_string(server.pid);
        if (!done.insert(key).second) continue;
        if (!isContainer(server) && ServerClassifier::isProtectedSystemProcess(server.processName)) {
            err << Unicode::visible(
                       Words::filled("tarvik: {} belongs to macOS; it is not stopped.", {server.processName}))
                << '\n';
            status = 1;
            continue;
        }
        if (server.pid == 0 && server.user) {
            err << Unicode::visible(Words::filled("tarvik: port {} is held by a process of {} that this user "
                                                  "cannot see; it is not stopped.",
                                                  {std::to_string(server.port), *server.user}))
                << '\n';
            status = 1;
            continue;
        }
        if (!ProcessControl::maySignal(server.pid) && !isContainer(server)) {
            err << "tarvik: process " << server.pid << " is not one Tarvik stops.\n";
            status = 1;
            continue;
        }
        if (!control.carryOut(StopActions::of(server, options.force))) {
            err << "tarvik: could not stop " << Unicode::visible(server.kind.name) << " (process "
                << server.pid << ")" << (isContainer(server) ? ": no docker client was found.\n" : ".\n");
            status = 1;
            continue;
        }
        stopped.push_back(server);
    }
    if (stopped.empty()) return status;

    std::this_thread::sleep_for(settleTime);
    control.waitIdle();
    auto after = collectServers(0);
    for (const auto& server : stopped) {
        bool container = isContainer(server);
        auto still = std::find_if(after.begin(), after.end(), [&](const Server& s) {
            return container ? s.port == server.port : s.pid == server.pid;
        });
        if (still != after.end()) {
            out << Unicode::visible(server.kind.name) << " (process " << server.pid << ") is still running. "
                << (options.force ? "It may be stuck in the kernel or restarted by a supervisor.\n"
                                  : "Run tarvik stop " + std::to_string(options.target) +
                                        " --force to end it at once.\n");
            status = 1;
            continue;
        }
        // A container frees its own port; a process every port it held.
        std::vector<int> ports{server.port};
        if (!container)
            for (const auto& s : servers)
                if (s.pid == server.pid) ports.push_back(s.port);
        std::sort(ports.begin(), ports.end());
        ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
        out << Unicode::visible(FreedCopy::stopped(server.kind.name, server.memoryBytes, ports)) << '\n';
    }
    return status;
}

}  // namespace tarvik::cli
