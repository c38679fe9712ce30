#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/platform/LibProc.hpp"
#include "core/processes/EnrichmentParser.hpp"
#include "core/processes/ProcessSampler.hpp"
#include "core/servers/Docker.hpp"
#include "core/servers/GitProject.hpp"
#include "core/servers/Server.hpp"

namespace tarvik::PortScanner {

// A listening socket whose process this user cannot see.
struct UnownedSocket {
    int port = 0;
    std::string address;
    std::string user;
    bool operator==(const UnownedSocket&) const = default;
};

// What the scan asks of the platform; `live()` is the kernel, tests script a population.
struct Sources {
    // Listening sockets per pid for the snapshot's processes, in descriptor order.
    std::function<std::unordered_map<std::int32_t, std::vector<LibProc::Socket>>(
        const std::vector<LibProc::ProcessRef>&)>
        listeningSockets;
    // Resident size, lifetime CPU, elapsed time and command line per pid.
    std::function<std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo>(
        const std::vector<std::int32_t>&)>
        processInfo;
    std::function<std::optional<std::string>(std::int32_t)> workingDirectory;
    std::string home;               // the user's home folder
    GitCache* git = nullptr;        // project and branch per folder; none leaves them empty
    DockerCache* docker = nullptr;  // containers per host port; none leaves servers unattributed
    // How long a caller that shows one answer waits for Docker's; none takes what the last answer
    // said, as a steady caller does.
    std::optional<std::chrono::milliseconds> containerWait;
    // Whether the socket holders found are kept for the next run (`live` with `rememberOwners`,
    // where this user has a runtime folder).
    bool remembersOwners = false;
    // The listening sockets whose process could not be seen, with the login name (or the number) of
    // the user they belong to; asked after `listeningSockets`. Optional.
    std::function<std::vector<UnownedSocket>()> unownedSockets;
    // Finds the holders of the listening sockets ahead of a scan, so that the scan finds them
    // known: a one-shot caller runs it beside its process sample. Optional.
    std::function<void()> prepare;
    // Makes whole a record of a names-only sample (see ProcessSampler::Sources::complete); called
    // for the listening processes and their descendants, the only records a scan reads beyond their
    // parents, on several threads at once. Optional: absent, the snapshot is taken as whole. While
    // it and `workingDirectory` run, `processInfo` is asked on another thread.
    std::function<void(ProcessRecord&)> complete;

    // The platform's readers, with fresh memory of socket holders and of the listening
    // processes that these sources own: keep one value to scan again cheaply. With
    // `rememberOwners` (a one-shot caller) `prepare` takes up what the last such run learnt about
    // socket holders, where this user's runtime folder holds it, and each scan leaves it there.
    [[nodiscard]] static Sources live(bool rememberOwners = false);
};

// The listening servers of the snapshot: one per (pid, port), classified, with tree totals for
// dev servers, sorted dev before system, then by port, then by pid. A socket whose process cannot
// be seen is a system server of pid 0 with the user of its first socket, kind "Hidden listener",
// one per port with every address.
[[nodiscard]] std::vector<Server> scan(const ProcessSnapshot& snapshot, const Sources& sources);
// With fresh live sources: a one-shot caller's cold scan.
[[nodiscard]] std::vector<Server> scan(const ProcessSnapshot& snapshot);

// The listening processes as a caller that samples once and keeps nothing for the next run needs
// them: every process of `pids` searched for socket holders knowing only its pid, then the
// holders' trees alone read. A scan of them lists what a scan of every process lists.
struct Listeners {
    ProcessSnapshot snapshot;  // the holders and their descendants
    std::unordered_map<std::int32_t, std::vector<LibProc::Socket>> sockets;  // by holder, as found
};
// nullopt where `sampler` cannot read trees.
[[nodiscard]] std::optional<Listeners> listeners(const Sources& sources,
                                                 const std::vector<std::int32_t>& pids,
                                                 ProcessSampler& sampler);
[[nodiscard]] std::vector<Server> scan(const Listeners& listeners, const Sources& sources);

// True when the snapshot holds a process of the container engine.
[[nodiscard]] bool containerEngineRunning(const ProcessSnapshot& snapshot);

// The server as the container publishing its port shows it, for a process of the container
// engine; any other server unchanged.
[[nodiscard]] Server attributeDocker(const Server& server, const ContainerPorts& ports,
                                     const ContainerMemory& memory);

// Stable sort by category (dev first), port, pid.
void sort(std::vector<Server>& servers);

// The project and branch of a working folder, uncached: read from the repository's files; git runs
// (twice) only for a layout those files do not explain.
[[nodiscard]] ProjectAndBranch resolveProject(const std::string& cwd);
[[nodiscard]] ProjectAndBranch resolveProject(const std::string& cwd, const GitRunner& run,
                                              std::string_view home);

}  // namespace tarvik::PortScanner
