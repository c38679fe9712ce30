#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvik {

// The bytes one process moved during the measured interval.
struct ProcessTraffic {
    std::int32_t pid = 0;
    std::string name;  // the process name as the monitor prints it
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;

    [[nodiscard]] std::uint64_t total() const { return bytesIn + bytesOut; }
    bool operator==(const ProcessTraffic&) const = default;
};

// One reading of one socket's lifetime counters.
struct SocketBytes {
    std::uint64_t inode = 0;  // 0 in the record of a socket that closed: it no longer has one
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;
    std::uint64_t cookie = 0;  // the kernel's name for the socket, alive or closed; 0 where unknown
    bool operator==(const SocketBytes&) const = default;
};

// Connections that opened and closed within the interval: no process held them at either
// reading, so their owner cannot be known afterwards.
struct ShortConnections {
    std::size_t count = 0;
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;
    bool operator==(const ShortConnections&) const = default;
};

// What one watch saw.
struct TrafficSample {
    std::vector<ProcessTraffic> rows;  // silent rows dropped, heaviest first
    ShortConnections shortConnections;
    // Whether the sockets that closed during the interval were counted. Linux reports them
    // through sock_diag's notices of destroyed sockets; where the kernel refuses those, a
    // connection shorter than the interval is missed.
    bool closedCounted = false;
    bool operator==(const TrafficSample&) const = default;
};

// Which processes are sending or receiving data right now. Watching takes about a second, so it
// runs only on request and never on the interface thread.
namespace NetworkUsage {

// Drops the silent rows and orders the rest heaviest first, equal totals keeping their order.
void rank(std::vector<ProcessTraffic>& rows);

// The rows of two readings of the sockets: each socket's growth (a socket new in `after` counts
// from 0, one gone from it is dropped) summed per owning pid, named by `nameOf`. Sockets without
// a known owner are not counted. Silent rows dropped, heaviest first, equal totals by pid.
[[nodiscard]] std::vector<ProcessTraffic> difference(
    const std::vector<SocketBytes>& before, const std::vector<SocketBytes>& after,
    const std::unordered_map<std::uint64_t, std::int32_t>& owners,
    const std::function<std::string(std::int32_t)>& nameOf);

// The same with the sockets that closed between the readings (`closed`, their final counters,
// matched to the readings by cookie): one open at `before` adds its growth since then to its
// owner; one still in `after` was counted there; one in neither opened and closed within the
// interval and is counted among the short connections. `owners` should hold the holders of both
// readings' moments: a closed socket is in no descriptor table afterwards.
[[nodiscard]] TrafficSample difference(const std::vector<SocketBytes>& before,
                                       const std::vector<SocketBytes>& after,
                                       const std::vector<SocketBytes>& closed,
                                       const std::unordered_map<std::uint64_t, std::int32_t>& owners,
                                       const std::function<std::string(std::int32_t)>& nameOf);

// Watches for one second and returns the rows of the processes that moved data. Empty when the
// platform refuses to tell; no error is reported.
[[nodiscard]] std::vector<ProcessTraffic> sample();

// The same between two readings that `wait` separates, so that a caller can pace the interval,
// show progress while it runs, or make the traffic it wants to see.
[[nodiscard]] std::vector<ProcessTraffic> sample(const std::function<void()>& wait);

// The whole watch between two readings that `wait` separates, counting the sockets that close
// meanwhile where the platform lets it and `countClosed` asks for it. Empty rows when the platform
// refuses to tell.
[[nodiscard]] TrafficSample watch(const std::function<void()>& wait, bool countClosed = true);

}  // namespace NetworkUsage
}  // namespace tarvik
