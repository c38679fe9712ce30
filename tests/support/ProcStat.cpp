#include "support/ProcStat.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace tarvik::test {

namespace {

std::string contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Polls `done` every 20 ms until it holds or `limit` passes; true when it held.
template <typename Condition>
bool poll(std::chrono::milliseconds limit, Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

std::optional<ProcStat> procStat(pid_t pid) {
    std::string line = contents("/proc/" + std::to_string(pid) + "/stat");
    // The command name may hold spaces and parentheses; the fields start after the last ')'.
    auto end = line.rfind(')');
    if (end == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(end + 1));
    ProcStat stat;
    std::string skip;
    std::uint64_t user = 0, system = 0;
    fields >> stat.state;
    for (int field = 4; field <= 13; ++field) fields >> skip;
    fields >> user >> system;
    for (int field = 16; field <= 21; ++field) fields >> skip;
    fields >> stat.startTicks;
    if (!fields) return std::nullopt;
    stat.cpuTicks = user + system;
    return stat;
}

bool isRunning(pid_t pid) {
    auto stat = procStat(pid);
    return stat && stat->state != 'Z' && stat->state != 'X' && stat->state != 'x';
}

bool waitUntilGone(pid_t pid, std::chrono::milliseconds limit) {
    return poll(limit, [&] { return !isRunning(pid); });
}

bool waitForCpuTicks(pid_t pid, std::uint64_t ticks, std::chrono::milliseconds limit) {
    return poll(limit, [&] {
        auto stat = procStat(pid);
        return stat && stat->cpuTicks >= ticks;
    });
}

std::vector<pid_t> allPids() {
    std::vector<pid_t> pids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::string name = entry.path().filename().string();
        if (!name.empty() &&
            std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c); }))
            pids.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return pids;
}

std::vector<std::string> arguments(pid_t pid) {
    std::istringstream raw(contents("/proc/" + std::to_string(pid) + "/cmdline"));
    std::vector<std::string> argv;
    for (std::string argument; std::getline(raw, argument, '\0');) argv.push_back(argument);
    return argv;
}

std::optional<std::uint64_t> statusKilobytes(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (!line.starts_with(key + ":")) continue;
        std::istringstream fields(line.substr(key.size() + 1));
        std::uint64_t kilobytes = 0;
        std::string unit;
        if (fields >> kilobytes >> unit && unit == "kB") return kilobytes;
        return std::nullopt;
    }
    return std::nullopt;
}

std::uint64_t clockTicksPerSecond() {
    return static_cast<std::uint64_t>(sysconf(_SC_CLK_TCK));
}

}  // namespace tarvik::test
