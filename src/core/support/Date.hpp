#pragma once

#include <chrono>

namespace tarvik {

// Wall-clock instants. Time-dependent logic takes one as `now` instead of reading the clock.
using Date = std::chrono::system_clock::time_point;

// Seconds between two dates as a double (positive when `later` is after `earlier`).
[[nodiscard]] inline double secondsBetween(Date earlier, Date later) {
    return std::chrono::duration<double>(later - earlier).count();
}

}  // namespace tarvik
