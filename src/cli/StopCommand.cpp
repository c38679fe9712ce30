#include "cli/StopCommand.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <climits>
#include <optional>
#include <set>
#include <thread>

#include "cli/CliSupport.hpp"
#include "cli/ListCommand.hpp"
#include "core/platform/LibProc.hpp"
#include "core/servers/Docker.hpp"
#include "core/servers/ProcessControl.hpp"
#include "core/servers/ServerClassifier.hpp"
#include "core/servers/StopAction.hpp"
#include "core/servers/StopReport.hpp"
#include "core/support/Text.hpp"
#include "core/support/Unicode.hpp"

namespace tarvik::cli {

namespace {

constexpr auto settleTime = std::chrono::milliseconds(1500);

bool isContainer(const Server& server) {
    return server.containerName && !server.containerName->empty();
}

// A container is stopped through docker: its name says which, not the pid of the engine's proxy.
std::string named(const Server& server) {
    if (isContainer(server)) return "container " + Unicode::visible(*server.containerName);
    return Unicode::visible(server.kind.name) + " (process " + std::to_string(server.pid) + ")";
}

}  // namespace

CLI::App* addStopCommand(CLI::App& app, StopOptions& options) {
    auto* stop = app.add_subcommand("stop", "Stop the server on a port, or the servers of a process");
    stop->add_option("target", options.target, "A port, or a process id when no server listens on that port")
        ->required()
        ->transform(decimal(1, 4194304, "takes a port or a process id"));
    auto* port = stop->add_flag("--port", options.port, "The number is a port");
    stop->add_flag("--pid", options.pid, "The number is a process id")->excludes(port);
    stop->add_flag("--force", options.force, "Kill at once instead of asking the process to quit");
    return stop;
}

int runStop(const StopOptions& options, std::ostream& out, std::ostream& err) {
    const std::int64_t number = options.target;
    auto servers = collectServers(0);
    std::vector<Server> onPort, ofProcess;
    for (const auto& server : servers) {
        if (server.port == number) onPort.push_back(server);
        if (server.pid == number) ofProcess.push_back(server);
    }
    const bool running = number <= INT32_MAX && LibProc::parentPid(static_cast<std::int32_t>(number));
    const bool samePid =
        std::all_of(onPort.begin(), onPort.end(), [&](const Server& s) { return s.pid == number; });
    if (!options.port && !options.pid && !onPort.empty() && running && !samePid) {
        err << "tarvik: " << number << " is both a port with a server and a running process; say stop --port "
            << number << " or stop --pid " << number << ".\n";
        return 2;
    }
    const bool byPort = options.port || (!options.pid && !onPort.empty());
    const auto& targets = byPort ? onPort : ofProcess;
    if (targets.empty()) {
        if (options.port)
            err << "tarvik: no server listens on port " << number << ".\n";
        else if (running)
            err << "tarvik: process " << number << " listens on no TCP port; Tarvik stops servers only.\n";
        else if (options.pid)
            err << "tarvik: no process " << number << " runs.\n";
        else
            err << "tarvik: no server listens on port " << number << " and no process " << number
                << " runs.\n";
        return 1;
    }

    ProcessControl control;
    // The processes each stop reaches, as they were before it: what ends with them is told after.
    const auto table = LibProc::processTable();
    std::vector<ProcessRow> signalled;
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
                       Text::filled("tarvik: {} belongs to Linux; it is not stopped.", {server.processName}))
                << '\n';
            status = 1;
            continue;
        }
        if (server.pid == 0 && server.user) {
            err << Unicode::visible(Text::filled("tarvik: port {} is held by a process of {} that this user "
                                                 "cannot see; it is not stopped.",
                                                 {std::to_string(server.port), *server.user}))
                << '\n';
            status = 1;
            continue;
        }
        // Signalling the engine's proxy would break every container it serves, not stop one.
        if (!isContainer(server) && DockerCache::shared().unanswered() &&
            DockerEngine::mayPublishForContainer(server.processName)) {
            err << "tarvik: Docker did not answer, so which container publishes port " << server.port
                << " is not known; nothing was stopped.\n";
            status = 1;
            continue;
        }
        if (!ProcessControl::maySignal(server.pid) && !isContainer(server)) {
            err << "tarvik: process " << server.pid << " is not one Tarvik stops.\n";
            status = 1;
            continue;
        }
        if (!control.carryOut(StopActions::of(server, options.force))) {
            err << "tarvik: could not stop " << named(server)
                << (isContainer(server) ? ": no docker client was found.\n" : ".\n");
            status = 1;
            continue;
        }
        stopped.push_back(server);
        if (isContainer(server)) continue;
        for (const auto& row : StopReport::tree(server.pid, table))
            if (std::ranges::none_of(signalled, [&](const ProcessRow& r) { return r.pid == row.pid; }))
                signalled.push_back(row);
    }
    if (stopped.empty()) return status;

    std::this_thread::sleep_for(settleTime);
    control.waitIdle();
    // Docker may yet carry out what it did not answer in time, so nothing is said of its port.
    auto unanswered = control.unansweredContainers();
    std::erase_if(stopped, [&](const Server& server) {
        if (!isContainer(server) || std::ranges::find(unanswered, *server.containerName) == unanswered.end())
            return false;
        auto limit = options.force ? ProcessControl::dockerKillLimit : ProcessControl::dockerStopLimit;
        err << "tarvik: Docker did not answer within " << limit.count() << " s; " << named(server)
            << " may still be running.\n";
        status = 1;
        return true;
    });
    if (stopped.empty()) return status;
    auto after = collectServers(0);
    auto outcome = StopReport::assess(stopped, signalled, servers, after, LibProc::processTable(),
                                      ProcessControl::processName);
    std::set<std::string> told;
    for (const auto& server : outcome.running) {
        bool container = isContainer(server);
        // Only what the user named is worth advice; its other ports go with it.
        bool chosen = std::ranges::any_of(stopped, [&](const Server& s) {
            return container ? s.containerName == server.containerName : s.pid == server.pid;
        });
        if (!chosen || !told.insert(named(server)).second) continue;
        out << (container ? "The " : "") << named(server) << " is still running. "
            << (options.force
                    ? "It may be stuck in the kernel or restarted by a supervisor.\n"
                    : "Run tarvik stop " + std::to_string(number) + " --force to end it at once.\n");
        status = 1;
    }
    // A server that came back still holds its port: the stop did not do what was asked.
    if (!outcome.restarted.empty()) status = 1;
    for (const auto& line : StopReport::sentences(outcome)) out << Unicode::visible(line) << '\n';
    return status;
}

}  // namespace tarvik::cli
