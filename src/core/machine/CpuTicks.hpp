#pragma once

#include <cstdint>

namespace tarvik {

// Cumulative ticks of the whole machine or of one core: user (nice included), system, idle.
struct CpuTicks {
    std::uint64_t user = 0;
    std::uint64_t system = 0;
    std::uint64_t idle = 0;
    bool operator==(const CpuTicks&) const = default;
};

}  // namespace tarvik
