#pragma once

#include <chrono>
#include <ctime>
#include <string>

namespace tarvik {

// Wall-clock instants. Time-dependent logic takes one as `now` instead of reading the clock.
using Date = std::chrono::system_clock::time_point;

// Seconds between two dates as a double (positive when `later` is after `earlier`).
[[nodiscard]] inline double secondsBetween(Date earlier, Date later) {
    return std::chrono::duration<double>(later - earlier).count();
}

// ISO 8601 local date and time to the second, without an offset: "2026-12-07T09:18:19".
[[nodiscard]] inline std::string isoLocalTime(Date date) {
    const auto seconds = std::chrono::system_clock::to_time_t(date);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local));
}

}  // namespace tarvik
