#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

// What the benchmark programs read of their own process, and how they sum up what they timed.
namespace tarvik::bench {

// CPU seconds this process has used, user and system, all threads.
inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// VmRSS of /proc/self/status, in MB.
inline double residentMB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:")) return std::stod(line.substr(6)) / 1024;
    return 0;
}

// The nearest-rank percentile of values sorted in ascending order; 0 for none.
inline double percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return 0;
    auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

}  // namespace tarvik::bench
