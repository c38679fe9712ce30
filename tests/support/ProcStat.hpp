#pragma once

#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The kernel's own account of processes, read by the tests straight from /proc rather than through
// the code under test, so that an assertion can be held against it.
namespace tarvik::test {

struct ProcStat {
    char state = '?';
    std::uint64_t cpuTicks = 0;    // user and system time, in clock ticks
    std::uint64_t startTicks = 0;  // since boot
};

// /proc/PID/stat; nullopt when the process is gone.
[[nodiscard]] std::optional<ProcStat> procStat(pid_t pid);
// The process exists and is neither a zombie nor dead.
[[nodiscard]] bool isRunning(pid_t pid);
// Polls `done` every 20 ms until it holds or `limit` passes; true when it held.
template <typename Condition>
bool waitUntil(std::chrono::milliseconds limit, Condition done) {
    for (auto deadline = std::chrono::steady_clock::now() + limit; !done();
         std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (std::chrono::steady_clock::now() >= deadline) return false;
    return true;
}
// Polls every 20 ms, at most `limit`, until the process no longer runs; true when it stopped.
inline bool waitUntilGone(pid_t pid, std::chrono::milliseconds limit) {
    return waitUntil(limit, [&] { return !isRunning(pid); });
}
// Polls every 20 ms, at most `limit`, until the process has used `ticks` of CPU time; true when it
// did. A busy process gets there on any machine; only the wait grows with the load.
inline bool waitForCpuTicks(pid_t pid, std::uint64_t ticks, std::chrono::milliseconds limit) {
    return waitUntil(limit, [&] {
        auto stat = procStat(pid);
        return stat && stat->cpuTicks >= ticks;
    });
}
// The pids whose argv the kernel holds is `argv`, byte for byte.
[[nodiscard]] std::vector<pid_t> pidsRunning(const std::vector<std::string>& argv);
// A "Key:  N kB" line of /proc/PID/status, in kB; nullopt when the process or the line is missing.
[[nodiscard]] std::optional<std::uint64_t> statusKilobytes(pid_t pid, const std::string& key);
// The threads of this process, as /proc/self/task lists them.
[[nodiscard]] std::size_t threadCount();
// The clock ticks per second that /proc counts CPU time in.
[[nodiscard]] inline std::uint64_t clockTicksPerSecond() {
    return static_cast<std::uint64_t>(sysconf(_SC_CLK_TCK));
}

}  // namespace tarvik::test
