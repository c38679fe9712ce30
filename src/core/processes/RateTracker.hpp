#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "core/support/Date.hpp"

namespace tarvik {

// Previous CPU readings per pid, turned into rates on the next reading.
struct RateTracker {
    struct Reading {
        double cpu = 0;  // cumulative CPU seconds
        Date at;
    };
    struct Rates {
        double cpuPercent = 0;  // percent of one core, one decimal
    };

    std::unordered_map<std::int32_t, Reading> last;

    // Records the reading. Returns the rates since the previous one, or nullopt on first sighting,
    // when the CPU counter went backwards (pid reuse) or when no time has passed.
    std::optional<Rates> update(std::int32_t pid, double cpuSeconds, Date at);

    // Forgets every pid not in `pids`.
    void retain(const std::unordered_set<std::int32_t>& pids);
};

}  // namespace tarvik
