#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>

// Parsers of the process-table commands a platform without per-process kernel calls falls back to.
namespace tarvik::SystemTable {

struct Row {
    std::int32_t ppid = 0;
    double cpuSeconds = 0;
    std::uint64_t rssBytes = 0;
    bool operator==(const Row&) const = default;
};

// `ps -axo pid=,ppid=,time=,rss=`: pid -> row; a line any field of which does not read is skipped.
[[nodiscard]] std::unordered_map<std::int32_t, Row> parsePs(std::string_view output);

// `top -l 1 -stats pid,mem`: pid -> footprint bytes ("512K+", "1.5G-", "100B").
[[nodiscard]] std::unordered_map<std::int32_t, std::uint64_t> parseTop(std::string_view output);

}  // namespace tarvik::SystemTable
