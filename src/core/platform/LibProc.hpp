#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/processes/EnrichmentParser.hpp"

// The kernel's process information, behind one seam. Every operation gives an empty or absent
// value on any failure (a vanished pid, another user's process) and never throws; all are safe to
// call from any thread.
namespace tarvik::LibProc {

struct Usage {
    double cpuSeconds = 0;               // user plus system
    std::uint64_t footprintBytes = 0;    // physical footprint
    std::uint64_t energyNanojoules = 0;  // 0 where the platform keeps no per-process energy
    std::uint64_t diskReadBytes = 0;
    std::uint64_t diskWrittenBytes = 0;
    bool operator==(const Usage&) const = default;
};

struct Socket {
    int port = 0;
    std::string address;  // "*" for a wildcard bind
    bool operator==(const Socket&) const = default;
};

// A process as the listening-socket lookup needs it.
struct ProcessRef {
    std::int32_t pid = 0;
    std::int32_t ppid = 0;
    std::uint64_t memoryBytes = 0;  // orders the search: servers are rarely the smallest processes
};

[[nodiscard]] std::vector<std::int32_t> allPids();
[[nodiscard]] std::optional<std::string> path(std::int32_t pid);
[[nodiscard]] std::optional<std::int32_t> parentPid(std::int32_t pid);
[[nodiscard]] std::optional<Usage> usage(std::int32_t pid);
// The process the platform holds responsible for `pid`; absent where the platform has no notion.
[[nodiscard]] std::optional<std::int32_t> responsiblePid(std::int32_t pid);
[[nodiscard]] std::optional<std::string> workingDirectory(std::int32_t pid);
[[nodiscard]] std::vector<Socket> listeningSockets(std::int32_t pid);

// The listening TCP sockets of many processes from one reading of the kernel's socket table, in
// descriptor order per pid. Remembers socket owners between calls, so a steady caller pays for a
// full descriptor walk only when a socket appears whose owner is not known yet.
[[nodiscard]] std::unordered_map<std::int32_t, std::vector<Socket>> listeningSockets(
    const std::vector<ProcessRef>& processes);

// Finds the holders of the listening sockets ahead of a scan (a one-shot caller runs it beside its
// process sample), so that the scan's `listeningSockets` finds them known.
void prepareListeningSockets();

// The facts `ps -o pid=,rss=,pcpu=,etime=,args=` gives, for each pid that can be read: resident
// size, lifetime CPU percent, elapsed seconds and the shell-quoted command line.
[[nodiscard]] std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo> processInfo(
    const std::vector<std::int32_t>& pids);

}  // namespace tarvik::LibProc
