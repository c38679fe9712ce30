#pragma once

#include <cstdint>
#include <optional>

#include "core/support/Date.hpp"

namespace tarvik {

// The previous reading of one cumulative counter, for its growth per second. Not thread-safe: its
// owner serialises the calls.
struct RateMeter {
    struct Reading {
        std::uint64_t value = 0;
        Date at;
    };
    std::optional<Reading> last;

    // Growth per unit of the counter per second since the previous reading. nullopt on the first
    // reading, when no time passed, or when the counter went back: a reset, unless `wrapsAt` names
    // the value past which the counter starts again from 0 (then the growth runs through the wrap).
    // The new reading replaces the previous one in every case.
    std::optional<double> update(std::uint64_t value, Date at, std::optional<std::uint64_t> wrapsAt = {});
};

}  // namespace tarvik
