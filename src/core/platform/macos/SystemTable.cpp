#include "core/platform/macos/SystemTable.hpp"

#include <cmath>
#include <limits>
#include <optional>

#include "core/support/CPUTime.hpp"
#include "core/support/Text.hpp"

namespace tarvik::SystemTable {

namespace {

constexpr double twoToThe64 = 18446744073709551616.0;

std::optional<std::uint64_t> footprintBytes(std::string_view field) {
    while (!field.empty() && (field.back() == '+' || field.back() == '-')) field.remove_suffix(1);
    if (field.empty()) return std::nullopt;
    double scale = 0;
    switch (field.back()) {
        case 'B':
            scale = 1;
            break;
        case 'K':
            scale = 1024;
            break;
        case 'M':
            scale = 1024.0 * 1024;
            break;
        case 'G':
            scale = 1024.0 * 1024 * 1024;
            break;
        default:
            return std::nullopt;
    }
    auto number = Text::parseDouble(field.substr(0, field.size() - 1));
    if (!number) return std::nullopt;
    // A value that truncates to something outside UInt64 (negative, or past 2^64) is not a size.
    double bytes = std::trunc(*number * scale);
    if (!(bytes >= 0 && bytes < twoToThe64)) return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

}  // namespace

std::unordered_map<std::int32_t, Row> parsePs(std::string_view output) {
    std::unordered_map<std::int32_t, Row> rows;
    for (std::string_view line : Text::lines(output)) {
        auto fields = Text::split(line, ' ');
        if (fields.size() < 4) continue;
        auto pid = Text::parseInt32(fields[0]);
        auto ppid = Text::parseInt32(fields[1]);
        auto cpuSeconds = CPUTime::parse(fields[2]);
        auto rssKB = Text::parseUInt64(fields[3]);
        if (!pid || !ppid || !cpuSeconds || !rssKB) continue;
        // A KiB count whose byte count would not fit is as unreadable as a garbled one.
        if (*rssKB > std::numeric_limits<std::uint64_t>::max() / 1024) continue;
        rows[*pid] = Row{*ppid, *cpuSeconds, *rssKB * 1024};
    }
    return rows;
}

std::unordered_map<std::int32_t, std::uint64_t> parseTop(std::string_view output) {
    std::unordered_map<std::int32_t, std::uint64_t> footprints;
    for (std::string_view line : Text::lines(output)) {
        auto fields = Text::split(line, ' ');
        if (fields.size() < 2) continue;
        auto pid = Text::parseInt32(fields[0]);
        if (!pid) continue;
        if (auto bytes = footprintBytes(fields[1])) footprints[*pid] = *bytes;
    }
    return footprints;
}

}  // namespace tarvik::SystemTable
