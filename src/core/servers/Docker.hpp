#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/servers/Server.hpp"
#include "core/support/Date.hpp"
#include "core/support/SerialQueue.hpp"

namespace tarvik {

// A container that publishes a host port.
struct DockerContainer {
    std::string name;
    std::string image;                   // as `docker ps` prints it
    std::optional<std::string> project;  // compose project; nullopt when absent or blank
    std::optional<std::string> service;  // compose service; likewise

    bool operator==(const DockerContainer&) const = default;
    // The compose project, else the container's name.
    [[nodiscard]] const std::string& appLabel() const { return project ? *project : name; }
};

using ContainerPorts = std::unordered_map<int, DockerContainer>;         // host port -> container
using ContainerMemory = std::unordered_map<std::string, std::uint64_t>;  // container name -> bytes

namespace DockerInspector {

// Where the docker client may live, in the order they are tried.
[[nodiscard]] std::vector<std::string> candidates(std::string_view home);
// The first candidate that is an executable file; looked up afresh on every call.
[[nodiscard]] std::optional<std::string> binaryPath();
[[nodiscard]] std::optional<std::string> binaryPath(const std::vector<std::string>& candidates);

// Host ports of a `docker ps` ports field ("0.0.0.0:8080->80/tcp, :::8080->80/tcp" gives 8080
// twice); exposed-only entries and published ranges give nothing.
[[nodiscard]] std::vector<int> hostPorts(std::string_view field);

// Lines of `docker ps --format "{{.Names}}\t{{.Image}}\t{{.Ports}}\t<project>\t<service>"`; the
// first container that publishes a port keeps it.
[[nodiscard]] ContainerPorts parse(std::string_view text);

}  // namespace DockerInspector

namespace DockerStats {

// Lines of `docker stats --no-stream --format "{{.Name}}\t{{.MemUsage}}"`: name -> bytes used.
[[nodiscard]] ContainerMemory parse(std::string_view text);

}  // namespace DockerStats

// Which containers publish which host ports and what they use, refreshed in the background at
// most every 8 seconds while the engine runs. One shared instance serves every scan; the lock is
// never held while a command runs. A refresh stops at its first command that runs out of time.
class DockerCache {
public:
    struct Options {
        std::vector<std::string> candidates;              // default: DockerInspector::candidates
        std::function<Date()> clock;                      // default: the system clock
        std::chrono::milliseconds commandTimeout{20000};  // each command's watchdog
    };
    static constexpr double maxAge = 8.0;  // seconds

    DockerCache();
    explicit DockerCache(Options options);

    // Starts a refresh on the cache's queue when the engine runs, the data is older than 8 s and
    // none is in flight; empties the maps when the engine does not run. Never waits. The commands
    // of a refresh given a `budget` share it, so that the refresh ends within it.
    void refreshIfStale(bool engineRunning, std::optional<std::chrono::milliseconds> budget = std::nullopt);

    struct Contents {
        ContainerPorts ports;
        ContainerMemory memory;
    };
    // A consistent copy of both maps.
    [[nodiscard]] Contents current() const;
    // The engine's total memory, bytes.
    [[nodiscard]] std::optional<std::uint64_t> vmMemoryLimit() const;
    // True when Docker did not list the containers within the last refresh's time.
    [[nodiscard]] bool unanswered() const;
    // Blocks until no refresh is queued or running (for a caller that shows one answer and exits).
    void waitForRefresh();

    static DockerCache& shared();

private:
    void refresh(const std::string& docker, std::optional<std::chrono::milliseconds> budget);

    Options m_options;
    mutable std::mutex m_mutex;  // guards the fields below
    ContainerPorts m_ports;
    ContainerMemory m_memory;
    std::optional<std::uint64_t> m_vmLimit;
    std::optional<Date> m_fetchedAt;  // none: never refreshed
    bool m_refreshing = false;
    bool m_unanswered = false;
    SerialQueue m_queue;  // declared last: joined first, while the fields it uses still exist
};

namespace DockerEngine {
// True when one of the processes named runs the container engine.
[[nodiscard]] bool isEngineProcess(std::string_view name);
// True when a process of this name may hold a port on behalf of a container (the engine's proxy).
[[nodiscard]] bool mayPublishForContainer(std::string_view processName);
}  // namespace DockerEngine

}  // namespace tarvik
