#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/machine/NetworkUsage.hpp"
#include "core/processes/ProcessTree.hpp"

// The kernel's process information. Every operation the core needs from the operating system is
// declared under core/platform/ (this header and SystemSensors.hpp), and a stateful sampler's
// `Sources::live()` is its platform default: defined by the backend where the readers keep memory
// between calls (which that sampler then owns), else in the core over these calls. The calls keep
// no state: each gives an empty or absent value on any failure (a vanished pid, another user's
// process), never throws, and is safe to call from any thread.
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
    std::uint64_t startTicks = 0;   // clock ticks since boot; 0 when unknown (then ppid is too)
};

[[nodiscard]] std::vector<std::int32_t> allPids();
// Every visible process with its parent and start time; memory and CPU are left at 0.
[[nodiscard]] std::vector<ProcessRow> processTable();
[[nodiscard]] std::optional<std::string> path(std::int32_t pid);
[[nodiscard]] std::optional<std::int32_t> parentPid(std::int32_t pid);
// The real user id the process runs as.
[[nodiscard]] std::optional<std::uint32_t> ownerUid(std::int32_t pid);
// The login name of a user id, else the id as a number.
[[nodiscard]] std::string userName(std::uint32_t uid);
[[nodiscard]] std::optional<Usage> usage(std::int32_t pid);
// The process the platform holds responsible for `pid`; absent where the platform has no notion.
[[nodiscard]] std::optional<std::int32_t> responsiblePid(std::int32_t pid);
[[nodiscard]] std::optional<std::string> workingDirectory(std::int32_t pid);
[[nodiscard]] std::vector<Socket> listeningSockets(std::int32_t pid);

// A value that changes whenever a TCP listener of the machine comes or goes (the order they are
// listed in aside), for a small part of a scan's cost; nullopt when the platform refuses to tell.
[[nodiscard]] std::optional<std::uint64_t> listenersFingerprint();

// Every TCP socket's lifetime byte counters; nullopt when the platform refuses to tell.
[[nodiscard]] std::optional<std::vector<SocketBytes>> socketBytes();

// A subscription to the TCP sockets that close, from construction on: their final counters with
// their cookie (`inode` 0). Where the platform refuses (a kernel without the notices) `watching` is
// false and nothing arrives. One thread at a time.
class SocketCloseWatch {
public:
    SocketCloseWatch();
    ~SocketCloseWatch();
    SocketCloseWatch(const SocketCloseWatch&) = delete;
    SocketCloseWatch& operator=(const SocketCloseWatch&) = delete;

    [[nodiscard]] bool watching() const { return m_fd >= 0; }
    // Appends what has arrived, waiting up to `timeout` (milliseconds) for a first message and
    // then reading only what is already there.
    void poll(int timeout, std::vector<SocketBytes>& out);

private:
    int m_fd = -1;
};

// The process holding each socket, by socket inode, among the processes this user may inspect. A
// socket shared through fork goes to the lowest pid, usually the parent.
[[nodiscard]] std::unordered_map<std::uint64_t, std::int32_t> socketHolders();

}  // namespace tarvik::LibProc
