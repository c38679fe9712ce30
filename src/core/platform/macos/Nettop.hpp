#pragma once

#include <string_view>
#include <vector>

#include "core/machine/NetworkUsage.hpp"

namespace tarvik::NetworkUsage {

// `nettop -P -d -L 2 -s 1 -J bytes_in,bytes_out -x` output, comma-separated, two samples with the last
// one holding the interval: that sample's rows without the silent ones, heaviest first, equal
// totals in output order. A missing interval sample gives an empty list; malformed lines are
// skipped.
[[nodiscard]] std::vector<ProcessTraffic> parse(std::string_view output);

}  // namespace tarvik::NetworkUsage
