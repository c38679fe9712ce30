#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarvik {

// One row of a process table.
struct ProcessRow {
    std::int32_t pid = 0;
    std::int32_t ppid = 0;
    int rssKB = 0;              // resident memory, KiB
    double cpuPercent = 0;      // percent of one core
    std::uint64_t started = 0;  // start time in the platform's units; a reused pid starts later. 0: unknown
    bool operator==(const ProcessRow&) const = default;
};

namespace ProcessTree {

// Sums over one server's process tree.
struct Totals {
    int rssKB = 0;
    double cpuPercent = 0;  // two decimals
    int processCount = 0;
    bool operator==(const Totals&) const = default;
};

// Descendants of `pid` (excluding it) in depth-first pop order; parent loops end.
[[nodiscard]] std::vector<std::int32_t> descendants(std::int32_t pid, const std::vector<ProcessRow>& rows);

// Totals per root that has a row. A descendant that is itself a root is neither counted nor
// entered, so a server inside another server's tree is not counted twice.
[[nodiscard]] std::unordered_map<std::int32_t, Totals> rollUp(const std::vector<ProcessRow>& rows,
                                                              const std::unordered_set<std::int32_t>& roots);

}  // namespace ProcessTree
}  // namespace tarvik
