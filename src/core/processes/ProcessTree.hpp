#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarvik {

// One row of a process table.
struct ProcessRow {
    std::int32_t pid = 0;
    std::int32_t ppid = 0;
    int rssKB = 0;                     // resident memory, KiB
    double cpuPercent = 0;             // percent of one core
    std::string command;               // command name or path; may be empty
    std::optional<double> cpuSeconds;  // accumulated CPU time; nullopt when not read

    [[nodiscard]] ProcessRow with(double newCpuPercent) const {
        ProcessRow copy = *this;
        copy.cpuPercent = newCpuPercent;
        return copy;
    }
    bool operator==(const ProcessRow&) const = default;
};

namespace ProcessTree {

// Sums over one server's process tree.
struct Totals {
    int rssKB = 0;
    double cpuPercent = 0;
    int processCount = 0;
    bool operator==(const Totals&) const = default;
};

// Rows of `ps -axo pid=,ppid=,rss=,pcpu=[,time=,comm=]`; lines that do not read are skipped.
[[nodiscard]] std::vector<ProcessRow> parse(std::string_view text);

// Every process on the machine through "/bin/ps"; [] when it cannot run.
[[nodiscard]] std::vector<ProcessRow> snapshot(bool commands);

// Descendants of `pid` (excluding it) in depth-first pop order; parent loops end.
[[nodiscard]] std::vector<std::int32_t> descendants(std::int32_t pid, const std::vector<ProcessRow>& rows);

// Totals per root that has a row. A descendant that is itself a root is neither counted nor
// entered, so a server inside another server's tree is not counted twice.
[[nodiscard]] std::unordered_map<std::int32_t, Totals> rollUp(const std::vector<ProcessRow>& rows,
                                                              const std::unordered_set<std::int32_t>& roots);

}  // namespace ProcessTree
}  // namespace tarvik
