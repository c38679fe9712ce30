#include "core/machine/SystemVitals.hpp"

#include <algorithm>

#include "core/support/ByteFormat.hpp"

namespace tarvik {

std::vector<CoreLoad> CoreLoad::label(const std::vector<double>& loads, int efficiencyCount) {
    std::vector<CoreLoad> cores;
    cores.reserve(loads.size());
    for (std::size_t i = 0; i < loads.size(); ++i)
        cores.push_back({static_cast<int>(i), loads[i], static_cast<int>(i) < efficiencyCount});
    return cores;
}

std::vector<CoreLoad> CoreLoad::label(const std::vector<double>& loads,
                                      const std::vector<int>& efficiencyCores) {
    std::vector<CoreLoad> cores;
    cores.reserve(loads.size());
    for (std::size_t i = 0; i < loads.size(); ++i) {
        int index = static_cast<int>(i);
        bool efficient =
            std::find(efficiencyCores.begin(), efficiencyCores.end(), index) != efficiencyCores.end();
        cores.push_back({index, loads[i], efficient});
    }
    return cores;
}

MemoryBreakdown MemoryBreakdown::fromPages(std::uint64_t total, std::uint64_t pageSize, std::uint64_t free,
                                           std::uint64_t speculative, std::uint64_t, std::uint64_t,
                                           std::uint64_t wired, std::uint64_t compressed,
                                           std::uint64_t internal, std::uint64_t purgeable,
                                           std::uint64_t external, std::uint64_t swapUsed,
                                           std::uint64_t swapTotal) {
    auto minusOrZero = [](std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; };
    return {total,
            minusOrZero(internal, purgeable) * pageSize,
            wired * pageSize,
            compressed * pageSize,
            (external + purgeable) * pageSize,
            minusOrZero(free, speculative) * pageSize,
            swapUsed,
            swapTotal};
}

std::string MemoryUsage::label() const {
    return ByteFormat::short_(usedBytes) + "/" + ByteFormat::short_(totalBytes);
}

std::uint64_t MemoryUsage::activityMonitorUsed(std::uint64_t total, std::uint64_t pageSize,
                                               std::uint64_t free, std::uint64_t speculative,
                                               std::uint64_t external, std::uint64_t purgeable) {
    std::uint64_t notUsed = ((free - std::min(free, speculative)) + external + purgeable) * pageSize;
    return total > notUsed ? total - notUsed : 0;
}

namespace MemoryPressures {

MemoryPressure fromLevel(std::int32_t level) {
    if (level == 4) return MemoryPressure::critical;
    if (level == 2) return MemoryPressure::warning;
    return MemoryPressure::normal;
}

std::string_view rawValue(MemoryPressure pressure) {
    switch (pressure) {
        case MemoryPressure::normal:
            return "normal";
        case MemoryPressure::warning:
            return "warning";
        case MemoryPressure::critical:
            return "critical";
    }
    return "normal";
}

}  // namespace MemoryPressures

}  // namespace tarvik
