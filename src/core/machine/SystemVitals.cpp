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

std::string MemoryUsage::label() const {
    return ByteFormat::short_(usedBytes) + "/" + ByteFormat::short_(totalBytes);
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
