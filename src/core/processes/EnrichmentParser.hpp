#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvik::EnrichmentParser {

// One row of `ps -o pid=,rss=,pcpu=,etime=,args=`.
struct ProcInfo {
    int rssKB = 0;                     // resident set size, KiB
    std::optional<double> cpuPercent;  // nullopt when the line could not be read that far
    std::optional<int> uptimeSeconds;  // likewise
    std::string args;                  // command line, trimmed of spaces and tabs
    std::vector<std::string> argv;     // the arguments one by one where the platform keeps them; else empty

    bool operator==(const ProcInfo&) const = default;
};

// Rows keyed by pid; unreadable lines are skipped, a later line for a pid replaces an earlier one.
// A row whose pcpu or etime does not read keeps its rss and holds the unread columns in `args`.
[[nodiscard]] std::unordered_map<std::int32_t, ProcInfo> parseProcessInfo(std::string_view text);

}  // namespace tarvik::EnrichmentParser
