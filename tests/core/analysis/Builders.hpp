#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/Diagnosis.hpp"

namespace tarvik {

// An app with only the figures a test reads.
inline AppUsage app(std::string name, double cpu = 0, std::uint64_t memory = 0, double gpu = 0) {
    return {std::move(name), {}, cpu, memory, 0, gpu, false, {}};
}

// The instant `seconds` after the clock's epoch.
inline Date at(int seconds) {
    return Date{} + std::chrono::seconds(seconds);
}

// Each finding as "id/severity", in order.
inline std::vector<std::string> kinds(const std::vector<Finding>& findings) {
    std::vector<std::string> result;
    for (const auto& f : findings)
        result.push_back(std::string(f.id()) + "/" + std::string(Finding::rawValue(f.severity)));
    return result;
}

}  // namespace tarvik
