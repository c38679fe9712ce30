#include "core/processes/EnrichmentParser.hpp"

#include "core/support/ElapsedTime.hpp"
#include "core/support/Text.hpp"

namespace tarvik::EnrichmentParser {

namespace {

// The pcpu and etime columns and what follows them; nullopt when either does not read, so the
// caller can keep the whole remainder as the command line instead.
std::optional<ProcInfo> readTimedColumns(int rssKB, std::string_view rest) {
    auto cpuToken = Text::nextToken(rest);
    if (!cpuToken) return std::nullopt;
    auto cpu = Text::parseDouble(*cpuToken);
    if (!cpu) return std::nullopt;
    auto elapsedToken = Text::nextToken(rest);
    if (!elapsedToken) return std::nullopt;
    auto elapsed = ElapsedTime::parse(*elapsedToken);
    if (!elapsed) return std::nullopt;
    return ProcInfo{rssKB, cpu, elapsed, std::string(Text::trim(rest))};
}

}  // namespace

std::unordered_map<std::int32_t, ProcInfo> parseProcessInfo(std::string_view text) {
    std::unordered_map<std::int32_t, ProcInfo> rows;
    for (std::string_view line : Text::lines(text)) {
        auto pidToken = Text::nextToken(line);
        auto pid = pidToken ? Text::parseInt32(*pidToken) : std::nullopt;
        if (!pid) continue;
        auto rssToken = Text::nextToken(line);
        auto rssKB = rssToken ? Text::parseInt32(*rssToken) : std::nullopt;
        if (!rssKB) continue;

        auto info = readTimedColumns(*rssKB, line);
        rows[*pid] = info ? std::move(*info)
                          : ProcInfo{*rssKB, std::nullopt, std::nullopt, std::string(Text::trim(line))};
    }
    return rows;
}

}  // namespace tarvik::EnrichmentParser
