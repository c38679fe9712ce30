#include "core/platform/macos/SystemTable.hpp"

#include "core/support/ByteUnits.hpp"
#include "core/support/CPUTime.hpp"
#include "core/support/Text.hpp"

namespace tarvik::SystemTable {

std::unordered_map<std::int32_t, Row> parsePs(std::string_view output) {
    std::unordered_map<std::int32_t, Row> rows;
    for (std::string_view line : Text::lines(output)) {
        auto fields = Text::split(line, ' ');
        if (fields.size() < 4) continue;
        auto pid = Text::parseInt32(fields[0]);
        auto ppid = Text::parseInt32(fields[1]);
        auto cpuSeconds = CPUTime::parse(fields[2]);
        auto rssBytes = ByteUnits::parseKibibytes(fields[3]);
        if (!pid || !ppid || !cpuSeconds || !rssBytes) continue;
        rows[*pid] = Row{*ppid, *cpuSeconds, *rssBytes};
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
        // top marks a footprint that grew or shrank with trailing "+" or "-".
        if (auto bytes = ByteUnits::parse(Text::trimEnd(fields[1], "+-"))) footprints[*pid] = *bytes;
    }
    return footprints;
}

}  // namespace tarvik::SystemTable
