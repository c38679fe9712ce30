#pragma once

#include <sys/resource.h>

// What the benchmark programs read of their own process.
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

}  // namespace tarvik::bench
