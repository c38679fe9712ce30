#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "core/support/Date.hpp"

namespace tarvik {

// Previous CPU and energy readings per pid, turned into rates on the next reading.
struct RateTracker {
    struct Reading {
        double cpu = 0;                       // cumulative CPU seconds
        std::optional<std::uint64_t> energy;  // cumulative nanojoules; nullopt when unreadable
        Date at;
    };
    struct Rates {
        double cpuPercent = 0;             // percent of one core, one decimal
        std::optional<double> milliwatts;  // one decimal
    };

    std::unordered_map<std::int32_t, Reading> last;

    // Records the reading. Returns the rates since the previous one, or nullopt on first sighting,
    // when the CPU counter went backwards (pid reuse) or when no time has passed.
    std::optional<Rates> update(std::int32_t pid, double cpuSeconds, std::optional<std::uint64_t> energyNJ,
                                Date at);

    // Forgets every pid not in `pids`.
    void retain(const std::unordered_set<std::int32_t>& pids);
};

}  // namespace tarvik
