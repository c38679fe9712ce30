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
    std::uint64_t inode = 0;
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;
    bool operator==(const SocketBytes&) const = default;
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

// Watches for one second and returns the rows of the processes that moved data. Empty when the
// platform refuses to tell; no error is reported.
[[nodiscard]] std::vector<ProcessTraffic> sample();

// The same between two readings that `wait` separates, so that a caller can pace the interval,
// show progress while it runs, or make the traffic it wants to see.
[[nodiscard]] std::vector<ProcessTraffic> sample(const std::function<void()>& wait);

}  // namespace NetworkUsage
}  // namespace tarvik
